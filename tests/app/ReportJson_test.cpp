// The JSON report: strings escaped and encoded correctly whatever they hold,
// and the errors each library lists. (The whole document is checked against
// its schema by the sample test, with python's json.)
#include "app/ReportJson.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ReportJson, StringsAreEscapedAndValidUtf8) {
    const struct {
        std::string utf8;
        std::string literal;
    } cases[] = {
        {"", "\"\""},
        {"plain", "\"plain\""},
        {"C:\\windows\\\"x\"", "\"C:\\\\windows\\\\\\\"x\\\"\""},
        {"a\nb\rc\td", "\"a\\nb\\rc\\td\""},
        {std::string("\x00\x01\x1F\x7F", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
        {"/mnt/\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\"/mnt/\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80\""},
        // Bytes that are not UTF-8 (a Latin-1 host name, a cut sequence, an
        // overlong form, a surrogate, a value past U+10FFFF) become U+FFFD.
        {"M\xFCller", "\"M\xEF\xBF\xBDller\""},
        {"end\xE2\x82", "\"end\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(report::JsonString(c.utf8), c.literal) << c.utf8;
}

TEST(ReportJson, TheRunsTextsComeFromTheAnsiCodePage) {
    EXPECT_EQ(report::AnsiToUtf8("Sie m\xFCssen \x80 \xC4nderungen"),
              "Sie m\xC3\xBCssen \xE2\x82\xAC \xC3\x84nderungen");
    EXPECT_EQ(report::AnsiToUtf8(""), "");
}

// Which errors a library lists: the examination's when it could not be
// examined, the delete's when it was scheduled or failed, the scheduling's
// when that failed too.
TEST(ReportJson, ErrorsOfEachLibrary) {
    const struct {
        Finding finding;
        Action action;
        const char* errors;
    } cases[] = {
        {Finding::kAbsent, Action::kNothing, "\"errors\": []"},
        {Finding::kMakerByCompany, Action::kDeleted, "\"errors\": []"},
        {Finding::kCannotExamine, Action::kNothing,
         "\"errors\": [{\"step\": \"examine\", \"code\": 32, \"text\": \"sharing violation\"}]"},
        {Finding::kMakerByCompany, Action::kScheduled,
         "\"errors\": [{\"step\": \"delete\", \"code\": 5, \"text\": \"access denied\"}]"},
        {Finding::kMakerByContent, Action::kFailed,
         "\"errors\": [{\"step\": \"delete\", \"code\": 5, \"text\": \"access denied\"}, "
         "{\"step\": \"schedule\", \"code\": 4242, \"text\": null}]"},
    };
    for (const auto& c : cases) {
        report::RootRun root;
        LibraryReport library;
        library.path = "C:\\windows\\system\\capi.dll";
        library.finding = c.finding;
        library.action = c.action;
        if (c.finding == Finding::kCannotExamine) library.examineError = ERROR_SHARING_VIOLATION;
        if (c.action == Action::kScheduled || c.action == Action::kFailed)
            library.deleteError = ERROR_ACCESS_DENIED;
        if (c.action == Action::kFailed) library.scheduleError = 4242;
        root.run.libraries.push_back(library);
        std::string document = report::JsonDocument({root}, false, 0);
        EXPECT_NE(document.find(c.errors), std::string::npos) << document;
        EXPECT_NE(document.find("\"name\": \"capi.dll\""), std::string::npos);
    }
}

}  // namespace
