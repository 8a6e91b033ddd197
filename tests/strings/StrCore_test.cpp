// The string and path core: sizes, setting and appending (also from the own
// buffer), formatting, searching, comparing, paths and the file tests.
#include <gtest/gtest.h>

#include <string>

#include "platform/Windows.h"
#include "tests/debuglog/LogStateProbe.h"
#include "tests/strings/StringChecks.h"
#include "tests/support/TempDrive.h"

namespace {

TEST(StrSizes, ConstructionSetAndSetN) {
    CStr none(nullptr, 255);
    EXPECT_EQ(Text(none), "");
    EXPECT_EQ(none.GetSize(), 0u);
    EXPECT_EQ(CStr("", 255).GetSize(), 255u);
    EXPECT_EQ(CPathStr("", 260).GetSize(), 260u);

    CStr s("", 255);
    char* buffer = s.GetBuffer();
    s.Set(std::string(253, 'a').c_str(), 0);
    EXPECT_EQ(s.GetBuffer(), buffer);  // still fits
    s.Set(std::string(254, 'b').c_str(), 0);
    EXPECT_EQ(s.GetSize(), 255u);  // reallocated at the same size
    s.Set(std::string(255, 'c').c_str(), 0);
    EXPECT_EQ(s.GetSize(), 256u);
    s.Set("short", 1000);
    EXPECT_EQ(s.GetSize(), 1000u);
    s.Set(nullptr, 0);  // empties, keeps the allocation
    EXPECT_EQ(Text(s), "");
    EXPECT_EQ(s.GetSize(), 1000u);
    s.FreeBuffer();
    s.Set(nullptr, 0);
    EXPECT_EQ(s.GetSize(), 19u);

    s.SetN("abcdef", 3);
    EXPECT_EQ(Text(s), "abc");
    EXPECT_EQ(s.GetSize(), 19u);
    s.SetN("xy", 300);
    EXPECT_EQ(Text(s), "xy");
    EXPECT_EQ(s.GetSize(), 300u);
    EXPECT_EQ(s.GetAt(301), '\0');  // past the buffer
}

TEST(StrSizes, AddGrowsToExactlyWhatIsNeeded) {
    Made<CStr> s(nullptr);
    EXPECT_EQ(s.Add(nullptr), nullptr);
    s.Add("abc");
    EXPECT_EQ(s.GetSize(), 3u);
    EXPECT_EQ(Text(s), "abc");

    s.Set(std::string(250, 'x').c_str(), 255);
    char* buffer = s.GetBuffer();
    s.Add("123");
    EXPECT_EQ(s.GetBuffer(), buffer);
    s.Set(std::string(250, 'x').c_str(), 0);
    s.Add("1234");
    EXPECT_EQ(s.GetSize(), 254u);  // one byte smaller than before, exactly full
    EXPECT_EQ(s.Add(nullptr), s.GetBuffer());
}

TEST(StrOverlap, TextFromTheOwnBufferIsSafe) {
    CStr s("abcdef", 0);
    s.Set(s.GetBuffer() + 2, 0);
    EXPECT_STREQ(s.GetBuffer(), "cdef");
    s.Add(s.GetBuffer());  // grows while reading itself
    EXPECT_STREQ(s.GetBuffer(), "cdefcdef");
    CStr full("abc", 0);
    full = full.GetBuffer();  // the buffer the text lies in is replaced
    EXPECT_STREQ(full.GetBuffer(), "abc");
    CStr roomy("ab", 100);
    roomy.Add(roomy.GetBuffer());  // fits in place
    EXPECT_STREQ(roomy.GetBuffer(), "abab");
    roomy = roomy;
    EXPECT_STREQ(roomy.GetBuffer(), "abab");
    CStr longer(std::string(300, 'q').c_str(), 0);
    longer.SetN(longer.GetBuffer() + 1, 299);
    EXPECT_EQ(std::string(longer.GetBuffer()), std::string(299, 'q'));
}

TEST(StrFormat, SprintfReplacesAddsprintfAppendsNothingIsCut) {
    CStr s("old", 255);
    EXPECT_EQ(s.sprintf(nullptr), s.GetBuffer());
    EXPECT_EQ(Text(s), "old");
    s.sprintf("%s\n%s", "a", "b");
    EXPECT_EQ(Text(s), "a\nb");
    s.Addsprintf(" <%d>", -1);
    EXPECT_EQ(Text(s), "a\nb <-1>");

    std::string big(5000, 'z');  // far beyond the 800-byte scratch
    s.sprintf("[%s]", big.c_str());
    EXPECT_EQ(Text(s), "[" + big + "]");
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
    EXPECT_NE(s.Find("M\xDCLLER", "\xFCll", 0), nullptr);  // Windows-1252 letters fold

    Made<CStr> company("QZM GmbH"), none(nullptr);
    EXPECT_EQ(company.IsEqual("qzm gmbh", 0), 1);
    EXPECT_EQ(company.IsEqual("qzm gmbh", 1), 0);
    EXPECT_EQ(company.IsEqual(nullptr, 0), 0);
    EXPECT_EQ(CStr("QZM GmbH Korvik", 255).IsEqual("QZM GmbH", 0), 0);
    EXPECT_EQ(company == "QZM GmbH", 1);
    EXPECT_EQ(company != "QZM GmbH", 0);
    EXPECT_EQ(none == "QZM GmbH", 0);
    EXPECT_EQ(none != "QZM GmbH", 1);
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
    Made<CStr> abc("abc"), xy("xy"), abd("abd"), none(nullptr);
    EXPECT_EQ(abc.Compare(&xy, 1), 1);
    EXPECT_EQ(xy.Compare(&abc, 1), -1);
    EXPECT_EQ(abc.Compare(nullptr, 1), 1);
    EXPECT_EQ(abc.Compare(&abd, 0), -1);
    EXPECT_EQ(abd.Compare(&abc, 0), 1);
    EXPECT_EQ(abc.Compare(&abc, 0), 0);
    EXPECT_EQ(abc.Compare(nullptr, 0), 1);
    EXPECT_EQ(abc.Compare(&none, 0), 1);
    EXPECT_EQ(none.Compare(nullptr, 0), 0);
    EXPECT_EQ(none.Compare(&abc, 0), -1);
}

TEST(StrEdit, IsEmptyAndRemoveLast) {
    EXPECT_ANSWER(CStr, " \t\r\n", IsEmpty(), 1);
    EXPECT_ANSWER(CStr, nullptr, IsEmpty(), 1);
    EXPECT_ANSWER(CStr, " x ", IsEmpty(), 0);

    EXPECT_EDIT(CStr, "C:\\WINDOWS\\SYSTEM32", RemoveLast('2', 0), "C:\\WINDOWS\\SYSTEM3");
    EXPECT_EDIT(CStr, "C:\\WINDOWS\\SYSTEM3", RemoveLast('3', 0), "C:\\WINDOWS\\SYSTEM");
    EXPECT_KEPT(CStr, "C:\\WINDOWS\\SYSTEM", RemoveLast('2', 0));
    EXPECT_KEPT(CStr, "C:\\WINDOWS\\SYSTEM", RemoveLast('3', 0));
    EXPECT_EDIT(CStr, "abxxx", RemoveLast('x', 1), "ab");
    EXPECT_EDIT(CStr, "abxxx", RemoveLast('x', 0), "abxx");
    EXPECT_EDIT(CStr, "ab", RemoveLast(0, 0), "a");
    EXPECT_KEPT(CStr, "", RemoveLast(0, 1));
}

TEST(PathBuild, AddPath) {
    EXPECT_EDIT(CPathStr, "C:\\WINDOWS\\SYSTEM", AddPath("capi20.dll"),
                "C:\\WINDOWS\\SYSTEM\\capi20.dll");
    EXPECT_EDIT(CPathStr, "C:\\dir\\", AddPath("x"), "C:\\dir\\x");
    EXPECT_EDIT(CPathStr, "C:\\dir", AddPath("\\x"), "C:\\dir\\x");
    EXPECT_EDIT(CPathStr, "", AddPath("x"), "\\x");
    CPathStr self("ab", 0);  // full buffer: the backslash reallocates it
    EXPECT_STREQ(self.AddPath(self.GetBuffer()), "ab\\ab");
}

// A path class whose appending is changed: the inherited operations follow.
class ShoutingPath : public CPathStr {
public:
    using CPathStr::CPathStr;
    char* Add(const char* text) override {
        CStr upper(text, 255);
        return CPathStr::Add(upper.MakeUpper());
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
    EXPECT_ANSWER(CPathStr, "C:\\windows", IsDir(), 16);
    EXPECT_ANSWER(CPathStr, "C:\\windows\\system32\\capi2032.dll", IsDir(), 0);
    EXPECT_ANSWER(CPathStr, "C:\\missing", IsDir(), 0);
    EXPECT_ANSWER(CPathStr, nullptr, IsDir(), 0);
}

TEST_F(PathFiles, DoesFileExistAnswersAndKeepsItsErrorPair) {
    const struct {
        const char* path;
        const char* part;
        int result, code, detail;
    } cases[] = {
        {"C:\\WINDOWS\\system32\\CAPI2032.DLL", nullptr, 1, 0, 0},
        {"C:\\windows", "system32\\capi2032.dll", 1, 0, 0},
        {"C:\\windows\\system32\\capi20.dll", nullptr, 0, ERROR_FILE_NOT_FOUND, 1023},
        {"C:\\windows\\system\\capi.dll", nullptr, 0, 0, 0},  // a directory is no file
        {"  \t", nullptr, 0, 109, 1022},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CPathStr path(c.path, 255);
        EXPECT_EQ(path.DoesFileExist(c.part, OPEN_EXISTING), c.result);
        int detail = -1;
        EXPECT_EQ(path.GetError(&detail), c.code);
        EXPECT_EQ(detail, c.detail);
    }
    EXPECT_EQ(Made<CPathStr>(nullptr).DoesFileExist(OPEN_EXISTING), 0);
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

// Opens the protected error pair of a string.
struct ExposedStr : CStr {
    using CStr::CStr;
    bool Holds(int code, int detail) const {
        return m_errorCode == code && m_errorDetail == detail;
    }
};

int LogFailurePair(void*) {
    logtest::ExchangeStateCode(2003);
    ExposedStr str("x", 255);
    CPathStr path("x", 255);
    int detail = -1;
    return str.Holds(102, 2003) && path.GetError(&detail) == 0 && detail == 0 ? 0 : 1;
}

TEST(StrErrors, FailedLogOpenIsRecordedByStringsAndClearedByPaths) {
    EXPECT_EQ(support::RunInChild(LogFailurePair, nullptr), 0);
}

}  // namespace
