// The content stage of the ownership test.
#include "app/Cleanup.h"
#include "inspect/FileSearch.h"

int HasMakerContent(const char* path) {
    CFileSearch search(path);
    int result = 0;
    for (const char* const* name = MakerNames; *name && !result; ++name)
        result = search.Search(*name, 1);
    return result;
}
