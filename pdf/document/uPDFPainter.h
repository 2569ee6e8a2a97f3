#pragma once
// The content writer of a page and the annotation list of a page, as far as the page tree
// uses them: the writer holds the text of the page's current content stream and reports
// every change of it; the annotation list holds the page's /Annots entries.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TPDFArray;
class TPDFObject;

class TPDFPainter {
 public:
  using TChangeEvent = std::function<void()>;

  // Empties the text (a change).
  void Clear() {
    FText.clear();
    Changed();
  }
  // Takes the existing text of a content stream to draw on; not a change.
  void LoadText(std::string text) { FText = std::move(text); }
  // Appends content operators (a change).
  void Append(std::string_view operators) {
    FText.append(operators);
    Changed();
  }
  const std::string& Text() const { return FText; }

  int32_t Precision = 4;
  TChangeEvent OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::string FText;
};

class TPDFAnnots {
 public:
  // Takes the elements of a page's /Annots array (the values stay with their structure).
  void Load(const TPDFArray* annots);
  void Clear() { FItems.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

 private:
  std::vector<TPDFObject*> FItems;
};
