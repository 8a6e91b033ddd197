// CPathStr: a CStr that knows Windows paths and command lines.
#pragma once

#include "strings/Str.h"

class CPathStr : public CStr {
public:
    CPathStr(const char* text, unsigned size);
    ~CPathStr() override;

    using CStr::operator=;
    CPathStr& operator=(const CPathStr& other) {
        CStr::operator=(static_cast<const CStr&>(other));
        return *this;
    }

    virtual char* AddPath(const char* part);
    virtual char* MakePath(const char* part);
    virtual char* ExtractDrive(int inPlace);
    virtual char* ExtractPath(int inPlace);
    virtual char* ExtractName(int inPlace);
    virtual char* ExtractCmd();
    virtual char* ExtractDriveEx(CStr* out);
    virtual char* ExtractPathEx(CStr* out);
    virtual char* ExtractNameEx(CStr* out);
    virtual char* ExtractCmdEx(CStr* out);
    virtual char* MakeCmdLine(const char* args, int quoteArgs);
    virtual char* AddCmdArg(const char* arg, int quote);
    virtual char* AddBackslash();
    virtual char* SetExtension(const char* ext);
    virtual char* EscapeBackslashes();
    virtual int SplitPath(CStr* drive, CStr* dir, CStr* name, CStr* cmd);
    virtual int FindCmdOption(const char* option, char* value, int valueSize);
    virtual int IsDir();
    virtual int DoesDirExist();
    virtual int DoesFileExist(int mode);
    virtual int DoesFileExist(const char* part, int mode);
    virtual const char* GetShortForm(unsigned maxLen);
    virtual int HasSubDir();
    virtual int IsNotEmptyDir();
    virtual int IsDriveRoot();
    virtual int GetError(int* detail);
    virtual char* AddCharIfMissing(char ch);

protected:
    CStr* m_driveCache;
    CStr* m_pathCache;
    CStr* m_nameCache;
    CStr* m_cmdCache;
};
