// The string and path core: sizes, setting and appending (also from the own
// buffer), formatting, searching, comparing, paths and the file tests.
#include <gtest/gtest.h>

#include <string>

#include "debuglog/LogState.h"
#include "platform/Windows.h"
#include "strings/PathStr.h"
#include "tests/support/TempDrive.h"

namespace {

// Opens the protected error pair for the tests.
template <typename Base>
struct Exposed : Base {
    using Base::Base;
    int Code() const { return this->m_errorCode; }
    int Detail() const { return this->m_errorDetail; }
};

TEST(StrSizes, ConstructionAndSet) {
    CStr none(nullptr, 255);
    ASSERT_NE(none.GetBuffer(), nullptr);
    EXPECT_STREQ(none.GetBuffer(), "");
    EXPECT_EQ(none.GetSize(), 0u);
    EXPECT_EQ(CStr("", 255).GetSize(), 255u);
    EXPECT_EQ(CPathStr("", 260).GetSize(), 260u);

    CStr s("", 255);
    char* buffer = s.GetBuffer();
    s.Set(std::string(253, 'a').c_str(), 0);
    EXPECT_EQ(s.GetBuffer(), buffer);  // still fits
    EXPECT_EQ(s.GetSize(), 255u);
    s.Set(std::string(254, 'b').c_str(), 0);
    EXPECT_EQ(s.GetSize(), 255u);  // reallocated at the same size
    s.Set(std::string(255, 'c').c_str(), 0);
    EXPECT_EQ(s.GetSize(), 256u);
    s.Set("short", 1000);
    EXPECT_EQ(s.GetSize(), 1000u);
    EXPECT_STREQ(s.GetBuffer(), "short");

    s.Set(nullptr, 0);  // empties, keeps the allocation
    EXPECT_STREQ(s.GetBuffer(), "");
    EXPECT_EQ(s.GetSize(), 1000u);
    s.FreeBuffer();
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0);
    s.Set(nullptr, 0);
    EXPECT_EQ(s.GetSize(), 19u);
}

TEST(StrSizes, AddGrowsToExactlyWhatIsNeeded) {
    CStr s(nullptr, 255);
    s.FreeBuffer();
    EXPECT_EQ(s.Add(nullptr), nullptr);
    s.Add("abc");
    EXPECT_EQ(s.GetSize(), 3u);
    EXPECT_STREQ(s.GetBuffer(), "abc");

    CStr t("", 255);
    t.Set(std::string(250, 'x').c_str(), 0);
    char* buffer = t.GetBuffer();
    t.Add("123");
    EXPECT_EQ(t.GetBuffer(), buffer);
    t.Set(std::string(250, 'x').c_str(), 0);
    t.Add("1234");
    EXPECT_EQ(t.GetSize(), 254u);  // one byte smaller than before, exactly full
    EXPECT_EQ(t.GetLength(), 254);
    EXPECT_EQ(t.Add(nullptr), t.GetBuffer());
}

TEST(StrSizes, SetNCopiesAtMostCountBytes) {
    CStr s("", 255);
    s.SetN("abcdef", 3);
    EXPECT_STREQ(s.GetBuffer(), "abc");
    EXPECT_EQ(s.GetSize(), 255u);
    s.SetN("xy", 300);
    EXPECT_STREQ(s.GetBuffer(), "xy");
    EXPECT_EQ(s.GetSize(), 300u);
    EXPECT_EQ(s.GetAt(299), '\0');
    EXPECT_EQ(s.GetAt(301), '\0');
}

TEST(StrOverlap, TextFromTheOwnBufferIsSafe) {
    CStr s("abcdef", 0);
    s.Set(s.GetBuffer() + 2, 0);
    EXPECT_STREQ(s.GetBuffer(), "cdef");
    s.Add(s.GetBuffer());  // grows while reading itself
    EXPECT_STREQ(s.GetBuffer(), "cdefcdef");
    CStr roomy("ab", 100);
    roomy.Add(roomy.GetBuffer());  // fits in place
    EXPECT_STREQ(roomy.GetBuffer(), "abab");
    roomy = roomy;
    EXPECT_STREQ(roomy.GetBuffer(), "abab");
    CStr longer(std::string(300, 'q').c_str(), 0);
    longer.SetN(longer.GetBuffer() + 1, 299);
    EXPECT_EQ(std::string(longer.GetBuffer()), std::string(299, 'q'));
}

TEST(StrFormat, SprintfReplacesAddsprintfAppends) {
    CStr s("old", 255);
    EXPECT_EQ(s.sprintf(nullptr), s.GetBuffer());
    EXPECT_STREQ(s.GetBuffer(), "old");
    s.sprintf("%s\n%s", "a", "b");
    EXPECT_STREQ(s.GetBuffer(), "a\nb");
    s.Addsprintf(" <%d>", -1);
    EXPECT_STREQ(s.GetBuffer(), "a\nb <-1>");
    s.sprintf("\\StringFileInfo\\%04x%04x\\%s", 0x407, 0x4b0, "CompanyName");
    EXPECT_STREQ(s.GetBuffer(), "\\StringFileInfo\\040704b0\\CompanyName");
}

TEST(StrFormat, ResultsLongerThanTheScratchAreWhole) {
    std::string big(5000, 'z');
    CStr s(nullptr, 255);
    s.sprintf("[%s]", big.c_str());
    EXPECT_EQ(std::string(s.GetBuffer()), "[" + big + "]");
    s.Addsprintf("%s", big.c_str());
    EXPECT_EQ(s.GetLength(), 10002);
}

TEST(StrSearch, FindAndIsEqual) {
    CStr s("ABCdef", 255);
    const char* text = "ABCdef";
    EXPECT_EQ(s.Find(text, "cD", 0), text + 2);
    EXPECT_EQ(s.Find(text, "cD", 1), nullptr);
    const char* abc = "abc";
    EXPECT_EQ(s.Find(abc, "", 1), abc);
    EXPECT_EQ(s.Find("", "x", 1), nullptr);
    EXPECT_EQ(s.Find(text, nullptr, 1), nullptr);
    EXPECT_EQ(s.FindInStr("def", 1), s.GetBuffer() + 3);
    EXPECT_EQ(s.Find("M\xDCLLER", "\xFCll", 0) != nullptr, true);  // Windows-1252 letters fold

    CStr company("QZM GmbH", 255);
    EXPECT_EQ(company.IsEqual("qzm gmbh", 0), 1);
    EXPECT_EQ(company.IsEqual("qzm gmbh", 1), 0);
    EXPECT_EQ(company.IsEqual(nullptr, 0), 0);
    EXPECT_EQ(CStr("QZM GmbH Korvik", 255).IsEqual("QZM GmbH", 0), 0);
    EXPECT_EQ(company == "QZM GmbH", 1);
    EXPECT_EQ(company != "QZM GmbH", 0);
    company.FreeBuffer();
    EXPECT_EQ(company == "QZM GmbH", 0);
    EXPECT_EQ(company != "QZM GmbH", 1);
}

TEST(StrSearch, FindTracesItsRefusal) {
    support::DebugCapture capture(1);  // level-1 traces too
    CStr s("x", 255);
    capture.Clear();
    s.Find(nullptr, "x", 1);
    s.Find("text", "ex", 1);
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"CStr::Find mit fehlerhafter Parameter\xFC"
                                                         "bergabe",
                                                         "CStr::Find von ex"}));
}

TEST(StrCompare, ByLengthAndByText) {
    CStr abc("abc", 255), xy("xy", 255), abd("abd", 255), none(nullptr, 0);
    EXPECT_EQ(abc.Compare(&xy, 1), 1);
    EXPECT_EQ(xy.Compare(&abc, 1), -1);
    EXPECT_EQ(abc.Compare(&abd, 0), -1);
    EXPECT_EQ(abd.Compare(&abc, 0), 1);
    EXPECT_EQ(abc.Compare(&abc, 0), 0);
    EXPECT_EQ(abc.Compare(nullptr, 0), 1);
    EXPECT_EQ(abc.Compare(nullptr, 1), 1);
    none.FreeBuffer();
    EXPECT_EQ(none.Compare(nullptr, 0), 0);
    EXPECT_EQ(none.Compare(&abc, 0), -1);
    EXPECT_EQ(abc.Compare(&none, 0), 1);
}

TEST(StrEdit, IsEmptyAndRemoveLast) {
    EXPECT_EQ(CStr(" \t\r\n", 255).IsEmpty(), 1);
    EXPECT_EQ(CStr(" x ", 255).IsEmpty(), 0);
    CStr none(nullptr, 0);
    none.FreeBuffer();
    EXPECT_EQ(none.IsEmpty(), 1);

    CStr dir("C:\\WINDOWS\\SYSTEM32", 255);
    EXPECT_STREQ(dir.RemoveLast('2', 0), "C:\\WINDOWS\\SYSTEM3");
    EXPECT_STREQ(dir.RemoveLast('3', 0), "C:\\WINDOWS\\SYSTEM");
    EXPECT_STREQ(dir.RemoveLast('2', 0), "C:\\WINDOWS\\SYSTEM");
    EXPECT_STREQ(CStr("abxxx", 255).RemoveLast('x', 1), "ab");
    EXPECT_STREQ(CStr("abxxx", 255).RemoveLast('x', 0), "abxx");
    EXPECT_STREQ(CStr("ab", 255).RemoveLast(0, 0), "a");
    EXPECT_STREQ(CStr("", 255).RemoveLast(0, 1), "");
}

TEST(PathBuild, AddPathAndExtractPathEx) {
    CPathStr path("C:\\WINDOWS\\SYSTEM", 255);
    EXPECT_STREQ(path.AddPath("capi20.dll"), "C:\\WINDOWS\\SYSTEM\\capi20.dll");
    EXPECT_STREQ(CPathStr("C:\\dir\\", 255).AddPath("x"), "C:\\dir\\x");
    EXPECT_STREQ(CPathStr("C:\\dir", 255).AddPath("\\x"), "C:\\dir\\x");
    EXPECT_STREQ(CPathStr("", 255).AddPath("x"), "\\x");
    CPathStr self("ab", 0);  // full buffer: the backslash reallocates it
    EXPECT_STREQ(self.AddPath(self.GetBuffer()), "ab\\ab");

    CPathStr name("file.txt", 255);
    EXPECT_EQ(name.ExtractPathEx(nullptr), nullptr);
    EXPECT_STREQ(name.GetBuffer(), "file.txt");
    EXPECT_STREQ(CPathStr("C:\\a\\b.dll", 255).ExtractPathEx(nullptr), "C:\\a");
    EXPECT_STREQ(CPathStr("C:\\boot.ini", 255).ExtractPathEx(nullptr), "C:");
    EXPECT_STREQ(CPathStr("\\x", 255).ExtractPathEx(nullptr), "");

    CPathStr whole("C:\\a\\b.dll", 255);
    CStr out(nullptr, 255);
    char* result = whole.ExtractPathEx(&out);
    EXPECT_EQ(result, out.GetBuffer());
    EXPECT_STREQ(out.GetBuffer(), "C:\\a");
    EXPECT_STREQ(whole.GetBuffer(), "C:\\a\\b.dll");
    EXPECT_STREQ(whole.ExtractPathEx(&whole), "C:\\a\\b.dll");  // into itself: no harm
}

// A path class whose appending is changed: the inherited operations follow.
class ShoutingPath : public CPathStr {
public:
    using CPathStr::CPathStr;
    char* Add(const char* text) override {
        CStr upper(text, 255);
        for (char* p = upper.GetBuffer(); p && *p; ++p)
            if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 32);
        return CPathStr::Add(upper.GetBuffer());
    }
};

TEST(PathBuild, InnerCallsGoThroughTheVirtualTable) {
    ShoutingPath path("C:\\x", 255);
    EXPECT_STREQ(path.AddPath("capi.dll"), "C:\\x\\CAPI.DLL");
    path += "y";
    EXPECT_STREQ(path.GetBuffer(), "C:\\x\\CAPI.DLLY");
}

class PathFiles : public ::testing::Test {
protected:
    void SetUp() override {
        drive.WriteFile("windows/system32/capi2032.dll", "content");
        drive.MakeDirs("windows/system/capi.dll");  // a directory with a library's name
    }
    support::TempDrive drive;
};

TEST_F(PathFiles, IsDir) {
    EXPECT_EQ(CPathStr("C:\\windows", 255).IsDir(), 16);
    EXPECT_EQ(CPathStr("C:\\windows\\system32\\capi2032.dll", 255).IsDir(), 0);
    EXPECT_EQ(CPathStr("C:\\missing", 255).IsDir(), 0);
    CPathStr none(nullptr, 0);
    none.FreeBuffer();
    EXPECT_EQ(none.IsDir(), 0);
}

TEST_F(PathFiles, DoesFileExistAnswersAndKeepsItsErrorPair) {
    Exposed<CPathStr> file("C:\\WINDOWS\\system32\\CAPI2032.DLL", 255);
    EXPECT_EQ(file.DoesFileExist(nullptr, OPEN_EXISTING), 1);
    EXPECT_EQ(file.Code(), 0);

    Exposed<CPathStr> missing("C:\\windows\\system32\\capi20.dll", 255);
    EXPECT_EQ(missing.DoesFileExist(OPEN_EXISTING), 0);
    EXPECT_EQ(missing.Code(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.Detail(), 1023);

    Exposed<CPathStr> dir("C:\\windows\\system\\capi.dll", 255);
    EXPECT_EQ(dir.DoesFileExist(OPEN_EXISTING), 0);
    EXPECT_EQ(dir.Code(), 0);

    Exposed<CPathStr> blank("  \t", 255);
    EXPECT_EQ(blank.DoesFileExist(OPEN_EXISTING), 0);
    EXPECT_EQ(blank.Code(), 109);
    EXPECT_EQ(blank.Detail(), 1022);

    Exposed<CPathStr> folder("C:\\windows", 255);
    EXPECT_EQ(folder.DoesFileExist("system32\\capi2032.dll", OPEN_EXISTING), 1);
}

TEST_F(PathFiles, FileHeldExclusivelyElsewhereIsPresent) {
    support::HeldFile holder("C:\\windows\\system32\\capi2032.dll", GENERIC_READ | GENERIC_WRITE,
                             0);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(CPathStr("C:\\windows\\system32\\capi2032.dll", 255).DoesFileExist(OPEN_EXISTING), 1);
}

TEST_F(PathFiles, TheTestNeverCreatesOrEmptiesAFile) {
    for (int mode : {CREATE_NEW, CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(CPathStr("C:\\windows\\new.dll", 255).DoesFileExist(mode), 0) << mode;
        EXPECT_FALSE(drive.Exists("windows/new.dll")) << mode;
        EXPECT_EQ(CPathStr("C:\\windows\\system32\\capi2032.dll", 255).DoesFileExist(mode), 1)
            << mode;
        EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), "content") << mode;
    }
}

TEST_F(PathFiles, DoesFileExistTracesTheOwnText) {
    support::DebugCapture capture(1);  // level-1 traces too
    CPathStr folder("C:\\windows", 255);
    capture.Clear();
    folder.DoesFileExist("system32\\capi2032.dll", OPEN_EXISTING);
    std::vector<std::string> lines = capture.Lines();
    // The probe's own construction and destruction traces surround the answer.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "DoesFileExist (Mode=3)'C:\\windows'? Ja");
    EXPECT_EQ(lines.back(), "~CStr");
}

int LogFailurePair(void*) {
    debuglog::Shared().stateCode = 2003;
    Exposed<CStr> str("x", 255);
    Exposed<CPathStr> path("x", 255);
    bool ok = str.Code() == 102 && str.Detail() == 2003 && path.Code() == 0 && path.Detail() == 0;
    return ok ? 0 : 1;
}

TEST(StrErrors, FailedLogOpenIsRecordedByStringsAndClearedByPaths) {
    EXPECT_EQ(support::RunInChild(LogFailurePair, nullptr), 0);
}

}  // namespace
