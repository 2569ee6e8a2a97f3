#pragma once
// The page tree of one in-memory document: counts the pages, finds the page dictionary of a
// page number through the /Kids arrays, keeps one page selected with its size and, when asked
// to, prepares that page's content streams for drawing.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "uPDFPainter.h"
#include "uPDFStructure.h"

class TPDFPageTree {
 public:
  using TPageEvent = std::function<void(TPDFDictionary* page)>;
  using TObjectEvent = std::function<void(int32_t objNum, int32_t genNum)>;

  // The name that marks a content stream the library may append to, and its key.
  static constexpr const char* kLayerMark = "Zelk";
  static constexpr const char* kLayerKey = "LC";
  // A marked last content stream longer than this (as stored) gets a new stream after it.
  static constexpr size_t kMaxAppendStream = 500000;
  // Steps up the /Parent chain before a size query gives up (a bound for looping trees).
  static constexpr int kMaxParentSteps = 1000;

  // Builds the tree on the root /Pages node (or none) and selects page 1.
  explicit TPDFPageTree(TPDFDictionary* root = nullptr);
  TPDFPageTree(const TPDFPageTree&) = delete;
  TPDFPageTree& operator=(const TPDFPageTree&) = delete;

  int32_t GetPageCount();
  TPDFDictionary* FindPageDictionary(int32_t pageNumber);
  // Selects the page; nothing in the document changes.
  void SetCurrentPage(int32_t pageNumber);
  // Makes the selected page ready to be drawn on (its content streams listed, a marked stream
  // at their end for the writer); this, unlike selecting, changes the page. False without one.
  bool PrepareForDrawing();
  // Width and height of the selected page; 0 when no page is selected.
  double GetPageWidth();
  double GetPageHeight();
  void ReportPageObject();
  void ResetPageCache();
  void LoadDefaultSize();
  void StoreWriterText();

  int32_t LastRefObjNum = 0;
  int32_t LastRefGenNum = 0;
  double DefaultWidth = 612;
  double DefaultHeight = 792;
  TPDFObject* LastKid = nullptr;
  TPDFArray* LastKids = nullptr;
  int32_t CurrentLayer = 0;
  TPDFStructure* Structure = nullptr;
  TPDFDictionary* Root = nullptr;
  int32_t CurrentPage = 0;
  TPDFDictionary* LastParent = nullptr;
  TPDFDictionary* CurrentPageDict = nullptr;
  std::vector<TPDFStream*> ContentStreams;
  TPDFPainter Writer;
  TPageEvent OnPageSelected;
  TObjectEvent OnNeedObject;
  TObjectEvent OnRemoveObject;
  bool PageReady = false;
  double CachedWidth = 0;
  double CachedHeight = 0;
  bool UnsafeLayers = false;
  TPDFAnnots Annotations;
  bool LayersCombined = false;
  bool WidthKnown = false;
  bool HeightKnown = false;

 private:
  TPDFDictionary* WalkKids(TPDFArray* kids, int32_t pageNumber);
  void PreparePage();
  TPDFArray* NormaliseContents();
  TPDFIndRef* NewContentStream(bool marked);
  double PageDimension(bool height);

  // Page dictionaries found so far, by page number - 1 (only filled slots are held, so a
  // hostile /Count costs nothing); FCacheSlots is the slot count the last page count set.
  std::unordered_map<int32_t, TPDFDictionary*> PageCache;
  int32_t FCacheSlots = 0;
};
