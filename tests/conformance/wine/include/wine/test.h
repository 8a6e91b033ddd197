/* Our stand-in for the header of Wine's test harness, so that Wine's
 * conformance tests build unchanged against it: ok, todo_wine, todo_wine_if,
 * broken, skip, win_skip, trace, winetest_push_context / pop_context and
 * START_TEST, with the meaning Wine gives them. harness.cpp keeps the counts
 * and prints in the format of Wine's harness.
 *
 * The same tests build twice: with MinGW against the real Windows headers
 * (run on Windows or under Wine), and natively against our layer
 * (platform/Windows.h plus the test-side scaffolding of native/scaffold.h).
 *
 *   marker          Windows      Wine                our layer (native)
 *   ok(c, ...)      check        check               check, or a listed difference
 *   todo_wine       check        expected to fail    check
 *   broken(x)       x            false               false
 *   win_skip(...)   skip         failure             failure
 *
 * A check inside an active todo block that succeeds is a failure ("Test
 * succeeded inside todo block"), as in Wine's harness. Natively the checks
 * named in a differences list (layer-differences.txt) are expected to fail in
 * the same way: a listed check that succeeds is a failure that asks for its
 * line to be removed. */
#ifndef PURGELIB_WINE_TEST_H
#define PURGELIB_WINE_TEST_H

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
/* The test program's own file: natively a PE stand-in (native/scaffold.h). */
#define scaffold_GetModuleFileNameA GetModuleFileNameA
#else
#include "scaffold.h"
#endif

#ifdef __cplusplus
extern "C" {
#endif

extern int winetest_debug;       /* WINETEST_DEBUG: 0 quiet, 1 default, 2 every check */
extern int winetest_interactive; /* always 0 here */
extern int winetest_on_windows;  /* real Windows: broken() and win_skip() apply */
extern int winetest_on_wine;     /* under Wine: todo_wine applies */

void winetest_set_location(const char* file, int line);
int winetest_ok(int condition, const char* msg, ...);
void winetest_skip(const char* msg, ...);
void winetest_win_skip(const char* msg, ...);
void winetest_trace(const char* msg, ...);
void winetest_push_context(const char* fmt, ...);
void winetest_pop_context(void);
void winetest_start_todo(int is_todo);
int winetest_loop_todo(void);
void winetest_end_todo(void);

#ifdef __cplusplus
}
#endif

#define ok_(file, line) (winetest_set_location(file, line), 0) ? 0 : winetest_ok
#define skip_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_skip
#define win_skip_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_win_skip
#define trace_(file, line) (winetest_set_location(file, line), 0) ? (void)0 : winetest_trace

#define ok ok_(__FILE__, __LINE__)
#define skip skip_(__FILE__, __LINE__)
#define win_skip win_skip_(__FILE__, __LINE__)
#define trace trace_(__FILE__, __LINE__)

#define todo_if(is_todo) \
    for (winetest_start_todo(is_todo); winetest_loop_todo(); winetest_end_todo())
#define todo_wine todo_if(winetest_on_wine)
#define todo_wine_if(is_todo) todo_if((is_todo) && winetest_on_wine)

#define broken(x) (winetest_on_windows && (x))

#ifndef ARRAY_SIZE
#define ARRAY_SIZE(x) (sizeof(x) / sizeof((x)[0]))
#endif

/* Each test file's entry: func_<name>, which the runner calls. */
#define START_TEST(name) void func_##name(void)

#endif
