// Loading documents: the fixtures beside qpdf's report, laziness, the object store and the
// ways a file can place or misplace its objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DocTestPdf.h"
#include "TestSupport.h"
#include "uPDFDocument.h"

using doctest_pdf::Load;
using doctest_pdf::MakePdf;
using doctest_pdf::TTestPdf;
using testsupport::DataPath;
using testsupport::ReadFile;

namespace {

std::unique_ptr<TPDFDocument> LoadFixture(const std::string& name) {
  auto doc = std::make_unique<TPDFDocument>();
  EXPECT_TRUE(doc->LoadFromString(ReadFile(DataPath(name)))) << name;
  return doc;
}

TPDFObject* ValueOf(TPDFDocument& doc, int32_t objNum, int32_t genNum = 0) {
  return doc.GetLoadedValue(doc.FindObject(objNum, genNum));
}

std::string TextOf(TPDFDocument& doc, int32_t objNum) {
  TPDFObject* value = ValueOf(doc, objNum);
  return value ? value->ToText() : "<missing>";
}

// Page count, then "width height" of every page selected in turn, one line each.
std::string PageReport(TPDFDocument& doc) {
  TPDFPageTree& tree = *doc.PageTree;
  const int32_t count = tree.GetPageCount();
  std::ostringstream out;
  out << count << "\n";
  for (int32_t page = 1; page <= count; ++page) {
    tree.SetCurrentPage(page);
    if (tree.CurrentPage != page) {
      out << "none\n";
      continue;
    }
    out << tree.GetPageWidth() << " " << tree.GetPageHeight() << "\n";
  }
  return out.str();
}

// The same report from qpdf's JSON for each file (pages in order, media boxes inherited up
// /Parent), keyed by file name; a file qpdf refuses has an empty report.
std::map<std::string, std::string> QpdfPageReports(const std::vector<std::string>& names) {
  static const char* kScript = R"PY(
import json, os, subprocess, sys
def report(path):
    run = subprocess.run(["qpdf", "--json=2", path], capture_output=True)
    try:
        j = json.loads(run.stdout)
    except ValueError:
        return ""
    objs = j["qpdf"][1]
    def val(v):
        if isinstance(v, str) and v.endswith(" R"):
            o = objs.get("obj:" + v, {})
            return o.get("value", o.get("stream", {}).get("dict"))
        return v
    lines = [str(len(j["pages"]))]
    for p in j["pages"]:
        node, box, steps = val(p["object"]), None, 0
        while isinstance(node, dict) and steps < 100:
            b = val(node.get("/MediaBox"))
            if isinstance(b, list):
                box = b
                break
            node, steps = val(node.get("/Parent")), steps + 1
        lines.append("none" if box is None else "%g %g" % (abs(box[2] - box[0]), abs(box[3] - box[1])))
    return "".join(l + "\n" for l in lines)
for path in sys.argv[1:]:
    print("@@ " + os.path.basename(path))
    sys.stdout.write(report(path))
)PY";
  std::string command = "python3 -c " + testsupport::Quote(kScript);
  for (const std::string& name : names) command += " " + testsupport::Quote(DataPath(name));
  std::string out;
  testsupport::Run(command + " 2>/dev/null", &out);
  std::map<std::string, std::string> reports;
  std::istringstream lines(out);
  std::string line;
  std::string* current = nullptr;
  while (std::getline(lines, line)) {
    if (line.rfind("@@ ", 0) == 0) current = &reports[line.substr(3)];
    else if (current) *current += line + "\n";
  }
  return reports;
}

std::vector<std::string> PdfFixtures() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(DataPath("")))
    if (entry.path().extension() == ".pdf") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Every fixture loads, and its pages agree with qpdf except where the loader differs on
// purpose: a page without any media box measures 612 by 792 (qpdf reports none), and the
// files qpdf refuses (a page-tree loop, an entry of unknown type) are checked on their own.
TEST(Document, EveryFixtureLoadsAndItsPagesAgreeWithQpdf) {
  REQUIRE_TOOL("qpdf");
  REQUIRE_TOOL("python3");
  const std::map<std::string, std::string> differs = {
      {"doc_nobox.pdf", "1\n612 792\n"},
      {"doc_prev_loop.pdf", "3\n612 792\nnone\nnone\n"},
      {"doc_xrefstream.pdf", "1\n400 500\n"},
  };
  int compared = 0;
  const std::vector<std::string> names = PdfFixtures();
  std::map<std::string, std::string> reports = QpdfPageReports(names);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::unique_ptr<TPDFDocument> doc = LoadFixture(name);
    const std::string ours = PageReport(*doc);
    auto known = differs.find(name);
    if (known != differs.end()) {
      EXPECT_EQ(ours, known->second);
      continue;
    }
    const std::string& theirs = reports[name];
    if (theirs.empty()) continue;  // an encrypted or refused fixture of another area
    EXPECT_EQ(ours, theirs);
    ++compared;
  }
  EXPECT_GE(compared, 7);
}

TEST(Document, LoadingParsesOnlyWhatPageOneNeeds) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_objstreams.pdf");
  // Catalog, page-tree root, its first /Pages node, page 1, its content stream and the
  // object stream that holds some of them.
  const int64_t atLoad = doc->ParsedCount();
  EXPECT_LE(atLoad, 7);
  size_t loaded = 0;
  for (TPDFIndObj* object : doc->Objects) loaded += object->Loaded;
  EXPECT_LT(loaded, doc->Objects.size() - 3);

  EXPECT_EQ(doc->CheckObjects(), 1);
  for (TPDFIndObj* object : doc->Objects) EXPECT_TRUE(object->Loaded) << object->ObjNum;
  // Loading added no object (selecting page 1 leaves it as it is).
  EXPECT_EQ(doc->ParsedCount(), static_cast<int64_t>(doc->Objects.size()));
}

TEST(Document, StoreIsInFileOrderAndLookupMatchesAScan) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_objstreams.pdf");
  bool plainSeen = false;
  int64_t lastOffset = -1;
  for (TPDFIndObj* object : doc->Objects) {
    if (object->Compressed) {
      EXPECT_FALSE(plainSeen) << "compressed objects come first";
    } else if (object->Offset > 0) {
      plainSeen = true;
      EXPECT_GT(object->Offset, lastOffset);
      lastOffset = object->Offset;
    }
    TPDFIndObj* scanned = nullptr;
    for (TPDFIndObj* other : doc->Objects)
      if (other->ObjNum == object->ObjNum && other->GenNum == object->GenNum) {
        scanned = other;
        break;
      }
    EXPECT_EQ(doc->FindObject(object->ObjNum, object->GenNum), scanned);
  }
  EXPECT_EQ(doc->FindObject(1, 7), nullptr);
  EXPECT_EQ(doc->FindObject(9999, 0), nullptr);
}

TEST(Document, NewestEntryWinsAndAFreedObjectComesFromAnOlderSection) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_update.pdf");
  EXPECT_EQ(TextOf(*doc, 4), "(second)");
  EXPECT_EQ(TextOf(*doc, 5), "(freed later)");
  EXPECT_DOUBLE_EQ(doc->PageTree->GetPageWidth(), 300);
  // Only the newest trailer counts, without its chain keys.
  EXPECT_EQ(doc->Trailer->IndexOf("Prev"), -1);
}

TEST(Document, ObjectsThatLoadAsNullOrWithoutData) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_edges.pdf");
  // 3 and 4 share one offset: 3's range is empty, so 3 is read where a scan of the file finds
  // it; 4's text names object 3 and 4 is nowhere else. The entry of 8 points at object 7.
  EXPECT_EQ(TextOf(*doc, 3), "(three)");
  EXPECT_EQ(TextOf(*doc, 4), "null");
  EXPECT_EQ(TextOf(*doc, 7), "(seven)");
  EXPECT_EQ(TextOf(*doc, 8), "null");
  EXPECT_TRUE(doc->Repaired);

  TPDFStream* withRefLength = As<TPDFStream>(ValueOf(*doc, 9));
  ASSERT_NE(withRefLength, nullptr);
  EXPECT_EQ(withRefLength->Data.size(), 1028u);
  EXPECT_EQ(withRefLength->Data.substr(1024), "tail");
  EXPECT_EQ(withRefLength->Dictionary->GetValue("Length")->ToText(), "1028");

  // Without a usable /Length the data run up to "endstream".
  TPDFStream* missingLength = As<TPDFStream>(ValueOf(*doc, 11));  // /Length names a missing object
  ASSERT_NE(missingLength, nullptr);
  EXPECT_EQ(missingLength->Data, "data of a stream without a length\n");
  EXPECT_EQ(missingLength->Dictionary->GetValue("Length")->ToText(), "34");
  TPDFStream* blank = As<TPDFStream>(ValueOf(*doc, 13));  // "stream" followed by a blank
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->Data, "abcd");
}

TEST(Document, ObjectHeadersAndKeywords) {
  struct TCase {
    std::string Body;
    std::string Expected;
  } cases[] = {
      {"1 0 obj\n(ok)", "(ok)"},
      {"garbage 1 0 obj (ok)", "(ok)"},  // leading bytes up to the first digit are skipped
      {"1 0 obj<< /A 1 >>", "<<\n/A 1\n>>\n"},
      {"1 0 obj[1 2]", "[ 1 2 ]"},
      {"1 0 obj(x)", "(x)"},                    // a delimiter ends the keyword
      {"1 0 objx (x)", "null"},
      {"1 1 obj (x)", "null"},                  // generation differs
      {"1 0 obj", "null"},                      // nothing to parse
  };
  for (const TCase& c : cases) {
    TTestPdf pdf;
    pdf.Offsets[1] = static_cast<int64_t>(pdf.Text.size());
    pdf.Raw(c.Body + "\nendobj\n");
    // Read strictly: the table's own rules, without a scan of the file for what they miss.
    auto doc = std::make_unique<TPDFDocument>();
    doc->AllowRepair = false;
    ASSERT_TRUE(doc->LoadFromString(pdf.Finish("/Root 9 0 R"))) << c.Body;
    EXPECT_EQ(TextOf(*doc, 1), c.Expected) << c.Body;
  }
}

TEST(Document, CompressedObjectsFollowTheirObjectStream) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_xrefstream.pdf");
  EXPECT_EQ(TextOf(*doc, 4), "<<\n/Four 4\n>>\n");
  EXPECT_EQ(TextOf(*doc, 5), "(five)");
  EXPECT_EQ(TextOf(*doc, 6), "null");  // its index holds object 5
  EXPECT_TRUE(doc->FindObject(6, 0)->Compressed);
  EXPECT_TRUE(doc->FindObject(6, 0)->Decrypted);
  EXPECT_EQ(doc->FindObject(7, 0), nullptr);  // the entry of unknown type
  EXPECT_NE(As<TPDFStream>(ValueOf(*doc, 11)), nullptr);

  std::unique_ptr<TPDFDocument> hybrid = LoadFixture("doc_hybrid.pdf");
  EXPECT_EQ(TextOf(*hybrid, 5), "[ 0 0 210 297 ]");
  EXPECT_TRUE(hybrid->FindObject(6, 0)->Compressed);
}

TEST(Document, LinearizationDictionaryIsEmptiedAndRemembered) {
  std::unique_ptr<TPDFDocument> doc = LoadFixture("doc_linearized.pdf");
  EXPECT_TRUE(doc->Linearized);
  bool emptied = false;
  for (TPDFIndObj* object : doc->Objects) {
    TPDFDictionary* dict = As<TPDFDictionary>(doc->GetLoadedValue(object));
    if (dict && object->Offset > 0 && object->Offset < 100) emptied = dict->Count() == 0;
  }
  EXPECT_TRUE(emptied);
  EXPECT_FALSE(LoadFixture("doc_tree.pdf")->Linearized);

  // "/Linearized" early in the file naming an object that is not in the store fails the load.
  TTestPdf pdf;
  pdf.Raw("8 0 obj << /Linearized 1 >> endobj\n");
  pdf.Obj(1, "<< /Type /Catalog >>");
  EXPECT_EQ(Load(pdf.Finish()), nullptr);
}

TEST(Document, Headers) {
  struct TCase {
    std::string Header;
    bool Loads;
    std::string Version;
  } cases[] = {
      {"%PDF-1.7\n", true, "1.7"},
      {"%PDF-x\n", true, ""},  // a letter after the marker: empty version, the load goes on
      {"%!PS-Adobe-3.0 PDF-1.3\n", true, "1.3"},
      {"%PDF-1.4.2\n", false, ""},
      {"no marker\n", false, ""},
  };
  for (const TCase& c : cases) {
    TTestPdf pdf(c.Header);
    pdf.Obj(1, "<< /Type /Catalog >>");
    TPDFDocument doc;
    EXPECT_EQ(doc.LoadFromString(pdf.Finish()), c.Loads) << c.Header;
    if (c.Loads) {
      EXPECT_EQ(doc.Version, c.Version) << c.Header;
    }
  }
}

TEST(Document, FailedLoadLeavesAnEmptyDocument) {
  for (const std::string& text : {std::string(), std::string("%PDF-1.4\n"), std::string("%PDF-1.4\nxref\n")}) {
    TPDFDocument doc;
    EXPECT_FALSE(doc.LoadFromString(text));
    EXPECT_TRUE(doc.Objects.empty());
    EXPECT_EQ(doc.Trailer->Count(), 0);
    EXPECT_EQ(doc.PageTree->GetPageCount(), 0);
    EXPECT_EQ(doc.StoredPassword, "!");
  }
}

TEST(Document, AddedObjectsTakeTheNextNumberAndGrowSize) {
  std::unique_ptr<TPDFDocument> doc = Load(MakePdf({{1, "<< /Type /Catalog >>"}, {5, "(five)"}}));
  ASSERT_NE(doc, nullptr);
  // No /Pages: the page tree is empty and nothing was added.
  EXPECT_EQ(doc->Objects.size(), 2u);
  TPDFIndObj* added = doc->AddObject(doc->Structure->NewString("new", 0));
  EXPECT_EQ(added->ObjNum, 6);
  EXPECT_EQ(added->GenNum, 0);
  EXPECT_TRUE(added->Loaded);
  EXPECT_EQ(doc->Trailer->GetInteger("Size", 0), 7);
  EXPECT_EQ(doc->FindObject(6, 0), added);
  EXPECT_EQ(added->Value->ObjNum, 6);

  TPDFIndRef* ref = doc->AddObjectRef(doc->Structure->NewNumeric(1));
  EXPECT_EQ(ref->ToText(), "7 0 R");
  doc->RemoveObject(7, 0);
  EXPECT_EQ(doc->FindObject(7, 0), nullptr);
  EXPECT_EQ(doc->AddObject(doc->Structure->NewNull())->ObjNum, 7);
  doc->RemoveObject(5, 0);
  size_t count = 0;
  for (TPDFIndObj* object : doc->Objects) count += object->ObjNum == 5;
  EXPECT_EQ(count, 0u);
}

TEST(Document, MissingRootGetsAnEmptyCatalog) {
  std::unique_ptr<TPDFDocument> doc = Load(MakePdf({{1, "(not a catalog)"}}));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->PageTree->GetPageCount(), 0);
  EXPECT_EQ(doc->Trailer->GetValue("Root")->ToText(), "2 0 R");
  EXPECT_EQ(doc->Catalog()->Count(), 0);
}

TEST(Document, NewBlankIsOneLetterPage) {
  TPDFDocument doc;
  doc.NewBlank();
  EXPECT_EQ(doc.Version, "1.4");
  EXPECT_EQ(doc.PageTree->GetPageCount(), 1);
  EXPECT_EQ(doc.PageTree->CurrentPage, 1);
  EXPECT_DOUBLE_EQ(doc.PageTree->GetPageWidth(), 612);
  EXPECT_DOUBLE_EQ(doc.PageTree->GetPageHeight(), 792);
  EXPECT_EQ(doc.Trailer->GetValue("Root")->ToText(), "3 0 R");
  EXPECT_EQ(doc.Trailer->GetValue("Info")->ToText(), "4 0 R");
  TPDFArray* id = As<TPDFArray>(doc.Trailer->GetValue("ID"));
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->Count(), 2);
  // Selecting page 1 gave it nothing: four objects, no /Contents.
  EXPECT_EQ(doc.Trailer->GetInteger("Size", 0), 5);
  EXPECT_EQ(TextOf(doc, 2).find("/Contents"), std::string::npos) << TextOf(doc, 2);
}

TEST(Document, FileReadOnDemandLoadsLikeBytesInMemory) {
  for (const std::string& name : PdfFixtures()) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadFile(DataPath(name));
    TPDFDocument inMemory;
    TPDFDocument onDemand;
    ASSERT_EQ(inMemory.LoadFromString(bytes),
              onDemand.LoadFromSource(std::make_unique<platform::TMemorySource>(bytes.data(), bytes.size())));
    inMemory.CheckObjects();
    onDemand.CheckObjects();
    auto a = inMemory.Objects.begin();
    for (TPDFIndObj* object : onDemand.Objects) {
      ASSERT_NE(a, inMemory.Objects.end());
      EXPECT_EQ(object->ObjNum, (*a)->ObjNum);
      EXPECT_EQ(object->Value->ToText(), (*a)->Value->ToText());
      EXPECT_EQ(onDemand.RawText(object), inMemory.RawText(*a));
      ++a;
    }
  }
}

TEST(Document, LoadFromStreamReadsTheRestOfTheStream) {
  std::istringstream in(ReadFile(DataPath("doc_tree.pdf")));
  TPDFDocument doc;
  EXPECT_TRUE(doc.LoadFromStream(in));
  EXPECT_EQ(doc.PageTree->GetPageCount(), 5);
}

// Cut or damaged copies of every fixture load or fail without crashing, and whatever loads
// can have all its pages selected and all its objects loaded.
TEST(Document, DamagedCopiesNeverCrash) {
  for (const std::string& name : PdfFixtures()) {
    const std::string bytes = ReadFile(DataPath(name));
    std::vector<std::string> damaged;
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 97) damaged.push_back(bytes.substr(0, cut));
    for (size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 89) {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
      damaged.push_back(flipped);
    }
    for (const std::string& text : damaged) {
      TPDFDocument doc;
      if (!doc.LoadFromString(text)) continue;
      const int32_t pages = std::min(doc.PageTree->GetPageCount(), 50);
      for (int32_t page = 1; page <= pages; ++page) {
        doc.PageTree->SetCurrentPage(page);
        doc.PageTree->GetPageWidth();
      }
      doc.CheckObjects();
    }
  }
}
