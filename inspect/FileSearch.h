// CFileSearch: a file searcher bound to one file.
//
// Search reads the file in blocks of 50000 bytes and counts the hits of a
// search string, overlapping ones included; with report on, every hit is
// traced with the text around it (while anyone listens to traces: see
// CDebugFile::AnyoneListens; otherwise neither the text around a hit is
// made nor ReportHit called, and a search costs about what a plain search of
// the file costs). Describe traces a short description of the
// file and QueryFileSize gives the size of a named file. Every operation is
// virtual, so a derived class can replace the scan of a block or the report
// of a hit.
#pragma once

#include "debuglog/DebugFile.h"
#include "strings/Str.h"

class CFileSearch {
public:
    explicit CFileSearch(const char* fileName);
    virtual ~CFileSearch();

    // Size in bytes of the file `name` (low 32 bits), 0 when it cannot be
    // opened. No trace.
    virtual unsigned QueryFileSize(const char* name);
    // Traces the last-write date, the attributes and the main entries of the
    // version resource of the file. 1 when the resource has fixed information
    // and a translation table.
    virtual int Describe();
    // Searches the whole file for `text`; 1 when it was found at least once.
    virtual int Search(const char* text, int report);
    // Traces one hit and its context; returns 1.
    virtual int ReportHit(CStr* context);
    // Scans `length` bytes at `block` for the search string and counts the
    // hits; returns m_found. The bytes are only read.
    virtual int ScanBlock(char* block, unsigned length, int report);

    // What the last Search learned besides its answer, for callers that must
    // tell "not found" from "not searched".
    // The error that kept it from reading the whole file: it could not open
    // the file, get its block buffer, read a block or move back between
    // blocks (ERROR_INVALID_PARAMETER when it refused its arguments); 0 when
    // it read the file to its end.
    DWORD GetReadError() const { return m_readError; }
    // Where its first hit starts in the file, -1 when it found none (or when
    // the hits were counted by a scan of a derived class).
    long long GetFirstHitOffset() const { return m_firstHit; }

    CFileSearch(const CFileSearch&) = delete;
    CFileSearch& operator=(const CFileSearch&) = delete;

    // Bytes read per block, and the size of the block buffer: the rest is a
    // zero margin that the context of a hit near the end may show.
    static constexpr unsigned kBlockSize = 50000;
    static constexpr unsigned kBufferSize = 51000;

protected:
    CDebugFile* m_log;
    CStr m_fileName;
    CStr m_searchString;
    int m_found;
    int m_hitCount;
    char* m_versionBlock;

private:
    // The version lines of Describe, from the block in m_versionBlock: 1 when
    // it has fixed information and a translation table.
    int DescribeVersion();

    // The block buffer of the running Search: the context of a hit in it may
    // use all of it. A block outside it shows only its own bytes.
    const char* m_scanBuffer;
    unsigned m_scanBufferSize;
    // The file offset of the block at the start of m_scanBuffer.
    unsigned long long m_blockOffset;
    long long m_firstHit;
    DWORD m_readError;
};
