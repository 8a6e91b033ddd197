// CPathStr: decomposition into drive, directory, name and options; command
// lines; extension, escaping, the short display form and the drive-root test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/strings/StringChecks.h"
#include "tests/support/TempDrive.h"

namespace {

struct Pieces {
    const char* text;   // null: an object without buffer
    const char* drive;  // null: the operation answers null
    const char* path;
    const char* name;
    const char* cmd;
};

const Pieces kPieces[] = {
    {"C:\\WINDOWS\\SYSTEM\\capi20.dll", "C:", "C:\\WINDOWS\\SYSTEM", "capi20.dll", nullptr},
    {"\\\\server\\share\\tools\\run.exe", nullptr, "\\\\server\\share\\tools", "run.exe", nullptr},
    {"readme.txt", nullptr, nullptr, "readme.txt", nullptr},
    {"C:\\Tools\\run.exe -s -q", "C:", "C:\\Tools", "run.exe -s -q", "-s -q"},
    {"\"C:\\Program Files\\Tool\\run.exe\" -s", "\"C:", "\"C:\\Program Files\\Tool", "run.exe\" -s",
     "-s"},
    {"C:\\dir\\", "C:", "C:\\dir", nullptr, nullptr},
    {"C:", "C:", nullptr, "C:", nullptr},
    {"C:\\a\\b.dll", "C:", "C:\\a", "b.dll", nullptr},
    {"C:\\boot.ini", "C:", "C:", "boot.ini", nullptr},
    {"\\x", nullptr, "", "x", nullptr},
    {"C:\\a -b\\x.exe", "C:", "C:\\a -b", "x.exe", "-b\\x.exe"},
    {"run.exe-s", nullptr, nullptr, "run.exe-s", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const struct {
    const char* label;
    char* (CPathStr::*worker)(CStr*);
    const char* Pieces::*expected;
} kWorkers[] = {
    {"ExtractDriveEx", &CPathStr::ExtractDriveEx, &Pieces::drive},
    {"ExtractPathEx", &CPathStr::ExtractPathEx, &Pieces::path},
    {"ExtractNameEx", &CPathStr::ExtractNameEx, &Pieces::name},
    {"ExtractCmdEx", &CPathStr::ExtractCmdEx, &Pieces::cmd},
};

TEST(PathDecompose, IntoAnOutObjectOrInPlace) {
    for (const Pieces& row : kPieces) {
        for (const auto& w : kWorkers) {
            SCOPED_TRACE(std::string(w.label) + " on " + Text(row.text));
            const char* expected = row.*w.expected;
            Made<CPathStr> path(row.text), cut(row.text);
            CStr out("unchanged", 255);
            char* result = (path.*w.worker)(&out);
            char* inPlace = (cut.*w.worker)(nullptr);
            EXPECT_EQ(Text(path), Text(row.text));  // with out, the own text stays
            EXPECT_EQ(Text(out), expected ? expected : "unchanged");
            EXPECT_EQ(Text(cut), Text(expected ? expected : row.text));
            EXPECT_EQ(inPlace, expected ? cut.GetBuffer() : nullptr);
            // A name without any backslash is the whole text: the own buffer is the answer.
            bool wholeName =
                w.worker == &CPathStr::ExtractNameEx && row.text && !std::strchr(row.text, '\\');
            EXPECT_EQ(result, !expected ? nullptr : wholeName ? path.GetBuffer() : out.GetBuffer());
        }
    }
    CPathStr whole("C:\\a\\b.dll", 255);  // into itself: no harm
    EXPECT_STREQ(whole.ExtractPathEx(&whole), "C:\\a\\b.dll");
}

TEST(PathDecompose, ExactBuffersAndResultStores) {
    CPathStr name("C:\\a\\b.dll", 255);
    name.ExtractNameEx(nullptr);
    EXPECT_EQ(name.GetSize(), 5u);  // m_size 6
    EXPECT_ALLOCATION(name.GetBuffer(), 6);
    CPathStr cmd("C:\\run.exe -s", 255);
    cmd.ExtractCmdEx(nullptr);
    EXPECT_EQ(cmd.GetSize(), 2u);
    EXPECT_ALLOCATION(cmd.GetBuffer(), 3);
    CPathStr drive("C:\\WINDOWS", 255);  // the drive is cut in place; the allocation stays
    char* before = drive.GetBuffer();
    EXPECT_EQ(drive.ExtractDrive(1), before);
    EXPECT_EQ(Text(drive), "C:");
    EXPECT_EQ(drive.GetSize(), 255u);

    CPathStr dir("C:\\dir\\", 255);
    EXPECT_EQ(Text(dir.ExtractName(0)), "");  // the empty text, not null
    EXPECT_EQ(Text(dir.ExtractPath(0)), "C:\\dir");
    EXPECT_EQ(Text(dir), "C:\\dir\\");
    EXPECT_EQ(Text(CPathStr("\\\\server\\share\\x", 255).ExtractDrive(0)), "");

    // Every call overwrites its store; the stores are independent.
    CPathStr p("C:\\Tools\\run.exe -s", 255);
    const char* stored = p.ExtractName(0);
    EXPECT_EQ(Text(p.ExtractCmd()), "-s");
    EXPECT_EQ(Text(stored), "run.exe -s");
    p.Set("D:\\x\\y.txt", 0);
    EXPECT_EQ(Text(p.ExtractName(0)), "y.txt");
    EXPECT_EQ(Text(p.ExtractDrive(0)), "D:");
    EXPECT_EQ(Text(p.ExtractCmd()), "");
    EXPECT_EQ(Text(p.ExtractPath(1)), "D:\\x");  // in place
    EXPECT_EQ(Text(p), "D:\\x");

    EXPECT_REFUSED(CPathStr, nullptr, ExtractDrive(0));
    EXPECT_REFUSED(CPathStr, nullptr, ExtractPath(0));
    EXPECT_REFUSED(CPathStr, nullptr, ExtractName(1));
    EXPECT_REFUSED(CPathStr, nullptr, ExtractCmd());
}

TEST(PathSplit, Table) {
    const struct {
        const char *text, *drive, *dir, *name, *cmd;
    } rows[] = {
        {"C:\\WINDOWS\\SYSTEM\\capi20.dll", "C:", "WINDOWS\\SYSTEM", "capi20.dll", ""},
        {"\\\\server\\share\\tools\\run.exe", "", "\\\\server\\share\\tools", "run.exe", ""},
        {"readme.txt", "", "", "readme.txt", ""},
        {"C:\\Tools\\run.exe -s -q", "C:", "Tools", "run.exe", "-s -q"},
        {"\"C:\\Program Files\\Tool\\run.exe\" -s", "\"C:", "Program Files\\Tool", "run.exe\"",
         "-s"},
        {"C:\\dir\\", "C:", "dir", "", ""},
        {"C:", "C:", "", "C:", ""},
        // The drive text goes from the directory wherever it occurs, in any case.
        {"c:\\x\\C:\\y.txt", "c:", "x\\", "y.txt", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        CPathStr path(row.text, 255);
        CStr drive("old", 255), dir("old", 255), name("old", 255), cmd("old", 255);
        EXPECT_EQ(path.SplitPath(&drive, &dir, &name, &cmd), 1);
        EXPECT_EQ(Text(drive), row.drive);
        EXPECT_EQ(Text(dir), row.dir);
        EXPECT_EQ(Text(name), row.name);
        EXPECT_EQ(Text(cmd), row.cmd);
        EXPECT_EQ(Text(path), row.text);
    }
}

TEST(PathSplit, MissingOutputs) {
    CPathStr path("C:\\Tools\\run.exe -s", 255);
    {
        support::DebugCapture capture(1);
        EXPECT_EQ(path.SplitPath(nullptr, nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(capture.With("CPathStr::SplitPath(0x0,0x0,0x0,0x0)").size(), 1u);
    }
    EXPECT_EQ(Text(path), "C:\\Tools\\run.exe -s");
    CStr dir(nullptr, 255), name(nullptr, 255);
    path.SplitPath(nullptr, &dir, nullptr, nullptr);
    path.SplitPath(nullptr, nullptr, &name, nullptr);
    EXPECT_EQ(Text(dir), "Tools");
    EXPECT_EQ(Text(name), "run.exe");
}

TEST(PathCmdLine, MakeAndAdd) {
    EXPECT_EDIT(CPathStr, "C:\\Tools\\run.exe", MakeCmdLine("-s", 0), "\"C:\\Tools\\run.exe\" -s");
    EXPECT_EDIT(CPathStr, "C:\\Tools\\run.exe", MakeCmdLine("C:\\in.txt", 1),
                "\"C:\\Tools\\run.exe\" \"C:\\in.txt\"");
    EXPECT_KEPT(CPathStr, "run.exe", MakeCmdLine(nullptr, 1));
    EXPECT_EDIT(CPathStr, nullptr, MakeCmdLine("-a", 0), "\"\" -a");

    EXPECT_EDIT(CPathStr, "run.exe ", AddCmdArg("-a", 0), "run.exe -a");
    EXPECT_EDIT(CPathStr, "run.exe -a", AddCmdArg("x y", 1), "run.exe -a \"x y\"");
    EXPECT_KEPT(CPathStr, "run.exe", AddCmdArg(nullptr, 1));
    EXPECT_EDIT(CPathStr, "", AddCmdArg("-a", 0), " -a");
    // The argument may be the own text, although the blank moves the buffer.
    CPathStr self("run", 0);
    self.AddCmdArg(self.GetBuffer(), 1);
    EXPECT_EQ(Text(self), "run \"run\"");
}

TEST(PathCmdLine, FindOptionAndItsQuotedValue) {
    const char* line = "C:\\Tools\\run.exe -f \"C:\\data\\in.txt\" -q";
    const struct {
        const char *text, *option;
        int result;
        const char* value;  // null: the value stays untouched
    } cases[] = {
        {line, "-f", 1, "C:\\data\\in.txt"},
        {line, "-F", 1, "C:\\data\\in.txt"},
        {line, "-q", 1, nullptr},  // no quote follows
        {line, "-x", 0, nullptr},
        {line, nullptr, 0, nullptr},
        {"run.exe -a -b \"x\"", "-a", 1, nullptr},  // another option between
        {"run.exe -o \t\"out\"", "-o", 1, "out"},
        {"run.exe -o \"out", "-o", 1, nullptr},  // no closing quote
        {nullptr, "-f", 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Text(c.text) + " " + Text(c.option));
        Made<CPathStr> path(c.text);
        char value[64];
        std::memset(value, 'z', sizeof value);
        EXPECT_EQ(path.FindCmdOption(c.option, value, sizeof value), c.result);
        EXPECT_EQ(c.value ? std::string(value) : std::string(value, 1), c.value ? c.value : "z");
        EXPECT_EQ(Text(path), Text(c.text));
    }

    // A small value buffer takes what fits and stays terminated; a size that
    // is no size, or no buffer, leaves the value alone.
    CPathStr path(line, 255);
    char small[5];
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(path.FindCmdOption("-f", small, sizeof small), 1);
    EXPECT_EQ(std::string(small, sizeof small), std::string("C:\\d\0", 5));
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(path.FindCmdOption("-f", small, -3), 1);
    EXPECT_EQ(path.FindCmdOption("-f", nullptr, 0), 1);
    EXPECT_EQ(small[0], 'z');
}

TEST(PathForms, ExtensionAndEscaping) {
    EXPECT_REFUSED(CPathStr, "file", SetExtension("txt"));
    EXPECT_REFUSED(CPathStr, "a.b", SetExtension(nullptr));
    EXPECT_REFUSED(CPathStr, nullptr, SetExtension("txt"));
    EXPECT_EDIT(CPathStr, "file.tar.gz", SetExtension("zip"), "file.tar.zip");
    EXPECT_EDIT(CPathStr, "file.tar.gz", SetExtension(""), "file.tar.");
    EXPECT_EDIT(CPathStr, "C:\\dir.old\\file", SetExtension("log"), "C:\\dir.log");
    CPathStr full("file.tar.gz", 0);  // the buffer grows
    full.SetExtension("longer");
    EXPECT_EQ(Text(full), "file.tar.longer");
    CPathStr self("a.b", 0);
    self.SetExtension(self.GetBuffer());  // the extension taken from the own text
    EXPECT_EQ(Text(self), "a.a.b");

    EXPECT_EDIT(CPathStr, "C:\\a\\b", EscapeBackslashes(), "C:\\\\a\\\\b");
}

TEST(PathShortForm, Examples) {
    const char* programs = "C:\\Program Files\\Common Files\\System\\capi20.dll";
    const struct {
        const char* text;
        unsigned maxLen;
        const char* form;  // null: the answer is the own buffer
    } cases[] = {
        {programs, 30, "C:\\Program File...stem\\capi20.dll"},
        {programs, 20, "C:\\Program...capi20.dll"},
        {"C:\\x\\abcdefgh", 9, "C:\\...cdefgh"},
        {"abcdefghijklmnop", 6, "abc...nop"},
        {"C:\\dir\\averyveryverylongfilename.txt", 10, "averyveryv"},
        {"abcdef", 0, "..."},
        {"C:\\x", 4, nullptr},
        {"C:\\x", 100, nullptr},
        {nullptr, 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Text(c.text));
        Made<CPathStr> path(c.text);
        const char* form = path.GetShortForm(c.maxLen);
        EXPECT_EQ(Text(path), Text(c.text));  // the own text never changes
        EXPECT_EQ(Text(form), c.form ? c.form : Text(path));
        EXPECT_TRUE(c.form || form == path.GetBuffer());  // short enough: the own buffer
    }
}

TEST(PathShortForm, TheSharedBufferIsNeverOverrun) {
    std::string longPath = "C:\\" + std::string(150, 'd') + "\\" + std::string(150, 'n');
    CPathStr path(longPath.c_str(), 0);
    for (unsigned maxLen : {252u, 280u, 303u}) {
        EXPECT_LE(Text(path.GetShortForm(maxLen)).size(), 254u) << maxLen;
        EXPECT_EQ(Text(path), longPath);
    }
    // The largest form that fits: head, dots and tail make maxLen + 3.
    std::string form = Text(path.GetShortForm(251));
    EXPECT_EQ(form, "C:\\" + std::string(98, 'd') + "..." + std::string(150, 'n'));

    // A name alone longer than the buffer gives what fits of it.
    std::string longName = "C:\\" + std::string(300, 'n');
    CPathStr name(longName.c_str(), 0);
    EXPECT_EQ(Text(name.GetShortForm(299)), std::string(251, 'n'));
    EXPECT_EQ(Text(name), longName);
}

TEST(PathForms, IsDriveRoot) {
    for (const char* root : {"C:", "C:\\", "abc:", " C:"})
        EXPECT_ANSWER(CPathStr, root, IsDriveRoot(), 1);
    for (const char* other : {"C:\\x", "C:\\\\", "\\\\server\\share", "", "  ", "C:x",
                              static_cast<const char*>(nullptr)})
        EXPECT_ANSWER(CPathStr, other, IsDriveRoot(), 0);
}

}  // namespace
