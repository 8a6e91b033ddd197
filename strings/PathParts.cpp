// Path and command-line decomposition and the directory queries. Not
// available yet: each answers null or 0.
#include "strings/PathStr.h"

char* CPathStr::ExtractDrive(int) { return nullptr; }
char* CPathStr::ExtractPath(int) { return nullptr; }
char* CPathStr::ExtractName(int) { return nullptr; }
char* CPathStr::ExtractCmd() { return nullptr; }
char* CPathStr::ExtractDriveEx(CStr*) { return nullptr; }
char* CPathStr::ExtractNameEx(CStr*) { return nullptr; }
char* CPathStr::ExtractCmdEx(CStr*) { return nullptr; }
char* CPathStr::MakeCmdLine(const char*, int) { return m_buffer; }
char* CPathStr::AddCmdArg(const char*, int) { return m_buffer; }
char* CPathStr::SetExtension(const char*) { return m_buffer; }
char* CPathStr::EscapeBackslashes() { return m_buffer; }
int CPathStr::SplitPath(CStr*, CStr*, CStr*, CStr*) { return 1; }
int CPathStr::FindCmdOption(const char*, char*, int) { return 0; }
int CPathStr::DoesDirExist() { return 0; }
const char* CPathStr::GetShortForm(unsigned) { return nullptr; }
int CPathStr::HasSubDir() { return 0; }
int CPathStr::IsNotEmptyDir() { return 0; }
int CPathStr::IsDriveRoot() { return 0; }
int CPathStr::GetError(int* detail) {
    if (detail) *detail = m_errorDetail;
    return m_errorCode;
}
