// CStr: an owned, zero-terminated 8-bit string in the ANSI code page.
//
// Every operation is virtual and inner calls go through the virtual table, so a
// derived class (CPathStr) changes the behaviour of the operations built on the
// ones it overrides. Text results point into the object's own buffer. Each
// object owns its own CDebugFile and traces its work at level 1.
#pragma once

#include "debuglog/DebugFile.h"
#include "strings/Comparable.h"

class CStr : public CComparable {
public:
    CStr(const char* text, unsigned size);
    ~CStr() override;

    // Mode 1 compares lengths; any other mode compares the texts.
    int Compare(const CComparable* other, int mode) const override;
    virtual char* Set(const char* text, unsigned size);
    virtual char* SetN(const char* text, unsigned count);
    virtual int Empty();
    virtual char GetAt(unsigned index) const;
    virtual CStr& operator=(const char* text);
    virtual CStr& operator=(const CStr& other);
    virtual CStr& operator+=(const char* text);
    virtual CStr& operator+=(const CStr& other);
    virtual int operator==(const char* text) const;
    virtual int operator==(const CStr& other) const;
    virtual int operator!=(const char* text) const;
    virtual int operator!=(const CStr& other) const;
    virtual char* Add(const char* text);
    virtual char* GetBuffer() const;
    virtual int StrLen(const char* text) const;
    virtual int GetLength() const;
    virtual unsigned GetSize() const;
    virtual int HasBlank();
    virtual int IsEmpty() const;
    virtual char* Find(const char* text, const char* pattern, int caseSensitive);
    virtual char* FindInStr(const char* pattern, int caseSensitive);
    virtual int IsEqual(const char* text, int caseSensitive) const;
    virtual int IsComment();
    virtual char* ExpandTabs(unsigned width);
    virtual char* RemoveWhitespace();
    virtual char* TrimLeft();
    virtual char* TrimRight();
    virtual char* Remove(const char* pattern);
    virtual char* Replace(const char* pattern, const char* with, unsigned* count);
    virtual char* ReplaceCase(const char* pattern, const char* with, unsigned* count);
    virtual char* RemoveLast(char ch, int repeat);
    virtual char* RemoveFirst(char ch);
    virtual int Show(const char* text);
    virtual char* sprintf(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual char* Addsprintf(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual char* MakeUpper();
    virtual char* MakeLower();
    virtual int IsHexNum();
    virtual int IsNum();
    virtual int IsEmptyLine();
    virtual char* Utf8ToAnsi();
    virtual char* AnsiToUtf8();
    virtual int IsUtf8(const char* text);
    virtual int FreeBuffer();
    virtual char* Expand(const char* pattern, const char* with, int caseSensitive, unsigned* count);

    // Objects are never copied as objects; text moves through Set and "=".
    CStr(const CStr&) = delete;

protected:
    // One trace line at the class level 1, when the object has its log.
    template <typename... Args>
    void TraceStep(const char* format, Args... args) const {
        if (!m_log) return;
        if constexpr (sizeof...(Args) == 0)
            m_log->TraceLineLevel(1, "%s", format);
        else
            m_log->TraceLineLevel(1, format, args...);
    }
    // Formats into a scratch of the given size rule and hands it to Set (add 0)
    // or Add (add 1); the body of sprintf and Addsprintf.
    char* FormatInto(int add, const char* format, va_list args);

    char* m_buffer;
    unsigned m_size;
    int m_errorCode;
    int m_errorDetail;
    CDebugFile* m_log;
};
