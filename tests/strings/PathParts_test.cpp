// CPathStr: decomposition into drive, directory, name and options; command
// lines; extension, escaping, the short display form and the drive-root test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "strings/PathStr.h"
#include "tests/strings/AllocationSize.h"
#include "tests/support/TempDrive.h"

namespace {

std::string Text(const CStr& s) {
    return s.GetBuffer() ? s.GetBuffer() : "<null>";
}
std::string Text(const char* p) {
    return p ? p : "<null>";
}

// ---- The decomposition table ---------------------------------------------------

struct Pieces {
    const char* text;
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
    {"C:\\a -b\\x.exe", "C:", "C:\\a -b", "x.exe", "-b\\x.exe"},
    {"run.exe-s", nullptr, nullptr, "run.exe-s", nullptr},
};

typedef char* (CPathStr::*Worker)(CStr*);

struct WorkerCase {
    const char* label;
    Worker worker;
    const char* Pieces::*expected;
};

const WorkerCase kWorkers[] = {
    {"ExtractDriveEx", &CPathStr::ExtractDriveEx, &Pieces::drive},
    {"ExtractPathEx", &CPathStr::ExtractPathEx, &Pieces::path},
    {"ExtractNameEx", &CPathStr::ExtractNameEx, &Pieces::name},
    {"ExtractCmdEx", &CPathStr::ExtractCmdEx, &Pieces::cmd},
};

TEST(PathDecompose, IntoAnOutObjectLeavesTheOwnText) {
    for (const Pieces& row : kPieces) {
        for (const WorkerCase& w : kWorkers) {
            SCOPED_TRACE(std::string(w.label) + " on " + row.text);
            CPathStr path(row.text, 255);
            CStr out("unchanged", 255);
            char* result = (path.*w.worker)(&out);
            const char* expected = row.*w.expected;
            EXPECT_EQ(Text(path), row.text);
            if (!expected) {
                EXPECT_EQ(result, nullptr);
                EXPECT_EQ(Text(out), "unchanged");
                continue;
            }
            EXPECT_EQ(Text(out), expected);
            // A name without any backslash is the whole text: the own buffer
            // is the answer.
            bool wholeName = w.worker == &CPathStr::ExtractNameEx && !std::strchr(row.text, '\\');
            EXPECT_EQ(result, wholeName ? path.GetBuffer() : out.GetBuffer());
        }
    }
}

TEST(PathDecompose, InPlaceCutsTheOwnText) {
    for (const Pieces& row : kPieces) {
        for (const WorkerCase& w : kWorkers) {
            SCOPED_TRACE(std::string(w.label) + " on " + row.text);
            CPathStr path(row.text, 255);
            char* result = (path.*w.worker)(nullptr);
            const char* expected = row.*w.expected;
            if (!expected) {
                EXPECT_EQ(result, nullptr);
                EXPECT_EQ(Text(path), row.text);
                continue;
            }
            EXPECT_EQ(result, path.GetBuffer());
            EXPECT_EQ(Text(path), expected);
        }
    }
}

TEST(PathDecompose, NameAndOptionsInPlaceGetAnExactBuffer) {
    CPathStr name("C:\\a\\b.dll", 255);
    name.ExtractNameEx(nullptr);
    EXPECT_EQ(Text(name), "b.dll");
    EXPECT_EQ(name.GetSize(), 5u);  // m_size 6
    EXPECT_ALLOCATION(name.GetBuffer(), 6);

    CPathStr cmd("C:\\run.exe -s", 255);
    cmd.ExtractCmdEx(nullptr);
    EXPECT_EQ(Text(cmd), "-s");
    EXPECT_EQ(cmd.GetSize(), 2u);
    EXPECT_ALLOCATION(cmd.GetBuffer(), 3);

    // The drive is cut in place; the allocation stays.
    CPathStr drive("C:\\WINDOWS", 255);
    char* before = drive.GetBuffer();
    EXPECT_EQ(drive.ExtractDrive(1), before);
    EXPECT_EQ(Text(drive), "C:");
    EXPECT_EQ(drive.GetSize(), 255u);
}

TEST(PathDecompose, ResultStores) {
    CPathStr path("C:\\dir\\", 255);
    EXPECT_EQ(Text(path.ExtractName(0)), "");  // the empty text, not null
    EXPECT_EQ(Text(path.ExtractCmd()), "");
    EXPECT_EQ(Text(path.ExtractPath(0)), "C:\\dir");
    EXPECT_EQ(Text(path.ExtractDrive(0)), "C:");
    EXPECT_EQ(Text(path), "C:\\dir\\");

    CPathStr unc("\\\\server\\share\\x", 255);
    EXPECT_EQ(Text(unc.ExtractDrive(0)), "");

    // Every call overwrites its store; the stores are independent.
    CPathStr p("C:\\Tools\\run.exe -s", 255);
    const char* name = p.ExtractName(0);
    EXPECT_EQ(Text(name), "run.exe -s");
    EXPECT_EQ(Text(p.ExtractCmd()), "-s");
    p.Set("D:\\x\\y.txt", 0);
    EXPECT_EQ(Text(p.ExtractName(0)), "y.txt");
    EXPECT_EQ(Text(p.ExtractDrive(0)), "D:");
    EXPECT_EQ(Text(p.ExtractCmd()), "");
    EXPECT_EQ(Text(p.ExtractPath(1)), "D:\\x");  // in place
    EXPECT_EQ(Text(p), "D:\\x");

    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.ExtractDrive(0), nullptr);
    EXPECT_EQ(none.ExtractPath(0), nullptr);
    EXPECT_EQ(none.ExtractName(1), nullptr);
    EXPECT_EQ(none.ExtractCmd(), nullptr);
    CStr out("unchanged", 255);
    EXPECT_EQ(none.ExtractDriveEx(&out), nullptr);
    EXPECT_EQ(none.ExtractNameEx(&out), nullptr);
    EXPECT_EQ(none.ExtractCmdEx(&out), nullptr);
    EXPECT_EQ(Text(out), "unchanged");
}

// ---- SplitPath ---------------------------------------------------------------------

struct Split {
    const char* text;
    const char* drive;
    const char* dir;
    const char* name;
    const char* cmd;
};

TEST(PathSplit, Table) {
    const Split rows[] = {
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
    for (const Split& row : rows) {
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

    CStr dir(nullptr, 255);
    path.SplitPath(nullptr, &dir, nullptr, nullptr);
    EXPECT_EQ(Text(dir), "Tools");
    CStr name(nullptr, 255);
    path.SplitPath(nullptr, nullptr, &name, nullptr);
    EXPECT_EQ(Text(name), "run.exe");
}

// ---- Command lines -----------------------------------------------------------------

TEST(PathCmdLine, MakeAndAdd) {
    CPathStr tool("C:\\Tools\\run.exe", 255);
    tool.MakeCmdLine("-s", 0);
    EXPECT_EQ(Text(tool), "\"C:\\Tools\\run.exe\" -s");
    CPathStr quoted("C:\\Tools\\run.exe", 255);
    quoted.MakeCmdLine("C:\\in.txt", 1);
    EXPECT_EQ(Text(quoted), "\"C:\\Tools\\run.exe\" \"C:\\in.txt\"");
    char* before = quoted.GetBuffer();
    EXPECT_EQ(quoted.MakeCmdLine(nullptr, 1), before);
    CPathStr none("x", 255);
    none.FreeBuffer();
    none.MakeCmdLine("-a", 0);
    EXPECT_EQ(Text(none), "\"\" -a");

    CPathStr line("run.exe ", 255);
    line.AddCmdArg("-a", 0);
    EXPECT_EQ(Text(line), "run.exe -a");
    line.AddCmdArg("x y", 1);
    EXPECT_EQ(Text(line), "run.exe -a \"x y\"");
    char* lineBuffer = line.GetBuffer();
    EXPECT_EQ(line.AddCmdArg(nullptr, 1), lineBuffer);
    CPathStr empty("", 255);
    empty.AddCmdArg("-a", 0);
    EXPECT_EQ(Text(empty), " -a");
    // The argument may be the own text, although the blank moves the buffer.
    CPathStr self("run", 0);
    self.AddCmdArg(self.GetBuffer(), 1);
    EXPECT_EQ(Text(self), "run \"run\"");
}

TEST(PathCmdLine, FindOptionAndItsQuotedValue) {
    CPathStr line("C:\\Tools\\run.exe -f \"C:\\data\\in.txt\" -q", 255);
    char value[64];
    std::memset(value, 'z', sizeof value);
    EXPECT_EQ(line.FindCmdOption("-f", value, sizeof value), 1);
    EXPECT_STREQ(value, "C:\\data\\in.txt");
    std::memset(value, 'z', sizeof value);
    EXPECT_EQ(line.FindCmdOption("-F", value, sizeof value), 1);
    EXPECT_STREQ(value, "C:\\data\\in.txt");

    std::memset(value, 'z', sizeof value);
    EXPECT_EQ(line.FindCmdOption("-q", value, sizeof value), 1);  // no quote follows
    EXPECT_EQ(value[0], 'z');
    EXPECT_EQ(line.FindCmdOption("-x", value, sizeof value), 0);
    EXPECT_EQ(line.FindCmdOption(nullptr, value, sizeof value), 0);
    EXPECT_EQ(line.FindCmdOption("-f", nullptr, 0), 1);
    EXPECT_EQ(value[0], 'z');

    CPathStr other("run.exe -a -b \"x\"", 255);
    EXPECT_EQ(other.FindCmdOption("-a", value, sizeof value), 1);  // another option between
    EXPECT_EQ(value[0], 'z');
    CPathStr spaced("run.exe -o \t\"out\"", 255);
    EXPECT_EQ(spaced.FindCmdOption("-o", value, sizeof value), 1);
    EXPECT_STREQ(value, "out");
    CPathStr unclosed("run.exe -o \"out", 255);
    std::memset(value, 'z', sizeof value);
    EXPECT_EQ(unclosed.FindCmdOption("-o", value, sizeof value), 1);
    EXPECT_EQ(value[0], 'z');

    // A small value buffer takes what fits and stays terminated.
    char small[5];
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(line.FindCmdOption("-f", small, sizeof small), 1);
    EXPECT_EQ(std::string(small, sizeof small), std::string("C:\\d\0", 5));
    // A size that is no size leaves the value alone.
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(line.FindCmdOption("-f", small, -3), 1);
    EXPECT_EQ(small[0], 'z');
    EXPECT_EQ(Text(line), "C:\\Tools\\run.exe -f \"C:\\data\\in.txt\" -q");

    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.FindCmdOption("-f", value, sizeof value), 0);
}

// ---- Extension, escaping ------------------------------------------------------------

TEST(PathForms, SetExtension) {
    CPathStr plain("file", 255);
    EXPECT_EQ(plain.SetExtension("txt"), nullptr);
    EXPECT_EQ(Text(plain), "file");
    CPathStr tar("file.tar.gz", 0);
    char* result = tar.SetExtension("zip");
    EXPECT_EQ(result, tar.GetBuffer());
    EXPECT_EQ(Text(tar), "file.tar.zip");
    tar.SetExtension("longer");
    EXPECT_EQ(Text(tar), "file.tar.longer");
    tar.SetExtension("");
    EXPECT_EQ(Text(tar), "file.tar.");
    CPathStr dir("C:\\dir.old\\file", 255);
    dir.SetExtension("log");
    EXPECT_EQ(Text(dir), "C:\\dir.log");
    EXPECT_EQ(dir.SetExtension(nullptr), nullptr);
    CPathStr self("a.b", 0);
    self.SetExtension(self.GetBuffer());  // the extension taken from the own text
    EXPECT_EQ(Text(self), "a.a.b");
}

TEST(PathForms, EscapeBackslashes) {
    CPathStr path("C:\\a\\b", 255);
    EXPECT_EQ(path.EscapeBackslashes(), path.GetBuffer());
    EXPECT_EQ(Text(path), "C:\\\\a\\\\b");
}

// ---- The short display form -----------------------------------------------------------

TEST(PathShortForm, Examples) {
    struct Case {
        const char* text;
        unsigned maxLen;
        const char* form;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Common Files\\System\\capi20.dll", 30,
         "C:\\Program File...stem\\capi20.dll"},
        {"C:\\Program Files\\Common Files\\System\\capi20.dll", 20, "C:\\Program...capi20.dll"},
        {"C:\\x\\abcdefgh", 9, "C:\\...cdefgh"},
        {"abcdefghijklmnop", 6, "abc...nop"},
        {"C:\\dir\\averyveryverylongfilename.txt", 10, "averyveryv"},
        {"abcdef", 0, "..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CPathStr path(c.text, 255);
        const char* form = path.GetShortForm(c.maxLen);
        EXPECT_EQ(Text(form), c.form);
        EXPECT_NE(form, path.GetBuffer());
        EXPECT_EQ(Text(path), c.text);  // the own text never changes
    }
}

TEST(PathShortForm, ShortTextsAreTheOwnBuffer) {
    CPathStr path("C:\\x", 255);
    EXPECT_EQ(path.GetShortForm(4), path.GetBuffer());
    EXPECT_EQ(path.GetShortForm(100), path.GetBuffer());
    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.GetShortForm(3), nullptr);
}

TEST(PathShortForm, TheSharedBufferIsNeverOverrun) {
    std::string longPath = "C:\\" + std::string(150, 'd') + "\\" + std::string(150, 'n');
    CPathStr path(longPath.c_str(), 0);
    for (unsigned maxLen : {251u, 252u, 280u, 303u}) {
        SCOPED_TRACE(maxLen);
        std::string form = Text(path.GetShortForm(maxLen));
        EXPECT_LE(form.size(), 254u);
        EXPECT_EQ(Text(path), longPath);
    }
    // The largest form that fits: head, dots and tail make maxLen + 3.
    std::string form = Text(path.GetShortForm(251));
    EXPECT_EQ(form.size(), 254u);
    EXPECT_EQ(form.substr(0, 3), "C:\\");
    EXPECT_EQ(form.substr(form.size() - 150), std::string(150, 'n'));

    // A name alone longer than the buffer gives what fits of it.
    std::string longName = "C:\\" + std::string(300, 'n');
    CPathStr name(longName.c_str(), 0);
    EXPECT_EQ(Text(name.GetShortForm(299)), std::string(251, 'n'));
    EXPECT_EQ(Text(name), longName);
}

// ---- Drive roots ---------------------------------------------------------------------

TEST(PathForms, IsDriveRoot) {
    struct Case {
        const char* text;
        int result;
    };
    const Case cases[] = {{"C:", 1},
                          {"C:\\", 1},
                          {"C:\\x", 0},
                          {"C:\\\\", 0},
                          {"abc:", 1},
                          {" C:", 1},
                          {"\\\\server\\share", 0},
                          {"", 0},
                          {"  ", 0},
                          {"C:x", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CPathStr(c.text, 255).IsDriveRoot(), c.result);
    }
    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.IsDriveRoot(), 0);
}

}  // namespace
