// The text operations built on Expand, trimming, case, number tests and
// code-page conversion. Not available yet: each answers without a change.
#include "strings/Str.h"

int CStr::HasBlank() { return 0; }
int CStr::IsComment() { return 0; }
char* CStr::ExpandTabs(unsigned) { return m_buffer; }
char* CStr::RemoveWhitespace() { return m_buffer; }
char* CStr::TrimLeft() { return m_buffer; }
char* CStr::TrimRight() { return m_buffer; }
char* CStr::Remove(const char*) { return m_buffer; }
char* CStr::Replace(const char*, const char*, unsigned*) { return m_buffer; }
char* CStr::ReplaceCase(const char*, const char*, unsigned*) { return m_buffer; }
char* CStr::RemoveFirst(char) { return m_buffer; }
char* CStr::MakeUpper() { return m_buffer; }
char* CStr::MakeLower() { return m_buffer; }
int CStr::IsHexNum() { return 0; }
int CStr::IsNum() { return 0; }
int CStr::IsEmptyLine() { return 0; }
char* CStr::Utf8ToAnsi() { return m_buffer; }
char* CStr::AnsiToUtf8() { return m_buffer; }
int CStr::IsUtf8(const char*) { return 0; }
char* CStr::Expand(const char*, const char*, int, unsigned*) { return m_buffer; }
