// Taking a path or command line apart: drive, directory, name and options.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "strings/Mbcs.h"
#include "strings/PathStr.h"

namespace {

// The result store of a piece: created on first use, emptied, filled by the
// worker. The store's text is the result, the empty text when there is no
// piece.
char* IntoStore(CPathStr* self, CStr*& store, char* (CPathStr::*worker)(CStr*)) {
    if (!store) store = new (std::nothrow) CStr(nullptr, 255);
    if (!store) return nullptr;
    store->Set("", 0);
    (self->*worker)(store);
    return store->GetBuffer();
}

unsigned AddressOf(const void* p) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

// The own text becomes the text from `from` on, in an allocation of exactly
// its length + 1 bytes.
char* TakeTail(CPathStr* self, char** buffer, unsigned* size, const char* from) {
    size_t length = std::strlen(from);
    char* fresh = static_cast<char*>(std::malloc(length + 1));
    if (!fresh) return nullptr;
    std::memcpy(fresh, from, length + 1);
    self->FreeBuffer();
    *buffer = fresh;
    *size = static_cast<unsigned>(length + 1);
    return fresh;
}

}  // namespace

char* CPathStr::ExtractDriveEx(CStr* out) {
    TraceStep("CPathStr::ExtractDriveEx");
    if (!m_buffer) return nullptr;
    char* colon = const_cast<char*>(mbcs::FindChar(m_buffer, ':'));
    if (!colon) return nullptr;
    if (!out) {
        colon[1] = '\0';
        return m_buffer;
    }
    // Copied first: out may be this object.
    size_t length = static_cast<size_t>(colon - m_buffer) + 1;
    char* drive = static_cast<char*>(std::malloc(length + 1));
    if (!drive) return nullptr;
    std::memcpy(drive, m_buffer, length);
    drive[length] = '\0';
    out->Set("", 0);
    out->Add(drive);
    std::free(drive);
    return out->GetBuffer();
}

char* CPathStr::ExtractPathEx(CStr* out) {
    TraceStep("CPathStr::ExtractPathEx");
    if (!m_buffer) return nullptr;
    char* slash = const_cast<char*>(mbcs::FindLastChar(m_buffer, '\\'));
    if (!slash) return nullptr;
    if (!out) {
        *slash = '\0';
        return m_buffer;
    }
    // The own text stays whole: cut it only for the moment out takes it.
    size_t keptSize = m_size;
    char* kept = static_cast<char*>(std::malloc(keptSize));
    if (!kept) return nullptr;
    std::memcpy(kept, m_buffer, keptSize);
    *slash = '\0';
    out->Set(m_buffer, 0);
    if (m_buffer) {  // out may be this object, and its Set may have replaced the buffer
        size_t back = keptSize < m_size ? keptSize : m_size;
        std::memcpy(m_buffer, kept, back);
        m_buffer[back - 1] = '\0';
    }
    std::free(kept);
    return out->GetBuffer();
}

char* CPathStr::ExtractNameEx(CStr* out) {
    TraceStep("CPathStr::ExtractNameEx");
    if (!m_buffer) return nullptr;
    const char* slash = mbcs::FindLastChar(m_buffer, '\\');
    if (!slash) {  // the whole text is the name
        if (out) out->Set(m_buffer, 0);
        return m_buffer;
    }
    if (slash[1] == '\0') return nullptr;
    if (out) {
        out->Set(slash + 1, 0);
        return out->GetBuffer();
    }
    return TakeTail(this, &m_buffer, &m_size, slash + 1);
}

char* CPathStr::ExtractCmdEx(CStr* out) {
    TraceStep("CPathStr::ExtractCmdEx");
    if (!m_buffer) return nullptr;
    const char* blankDash = mbcs::FindSub(m_buffer, " -");
    if (!blankDash) return nullptr;
    const char* options = blankDash + 1;  // from the dash on
    if (out) {
        out->Set(options, 0);
        return out->GetBuffer();
    }
    return TakeTail(this, &m_buffer, &m_size, options);
}

char* CPathStr::ExtractDrive(int inPlace) {
    TraceStep("CPathStr::ExtractDrive");
    if (!m_buffer) return nullptr;
    if (inPlace) return ExtractDriveEx(nullptr);
    return IntoStore(this, m_driveCache, &CPathStr::ExtractDriveEx);
}

char* CPathStr::ExtractPath(int inPlace) {
    TraceStep("CPathStr::ExtractPath");
    if (!m_buffer) return nullptr;
    if (inPlace) return ExtractPathEx(nullptr);
    return IntoStore(this, m_pathCache, &CPathStr::ExtractPathEx);
}

char* CPathStr::ExtractName(int inPlace) {
    TraceStep("CPathStr::ExtractName");
    if (!m_buffer) return nullptr;
    if (inPlace) return ExtractNameEx(nullptr);
    return IntoStore(this, m_nameCache, &CPathStr::ExtractNameEx);
}

char* CPathStr::ExtractCmd() {
    if (!m_buffer) return nullptr;
    return IntoStore(this, m_cmdCache, &CPathStr::ExtractCmdEx);
}

int CPathStr::SplitPath(CStr* drive, CStr* dir, CStr* name, CStr* cmd) {
    TraceStep("CPathStr::SplitPath(0x%x,0x%x,0x%x,0x%x)", AddressOf(drive), AddressOf(dir),
              AddressOf(name), AddressOf(cmd));
    // One scratch object stands in for every output the caller does not want.
    CStr scratch(nullptr, 255);

    CStr* dirOut = dir ? dir : &scratch;
    dirOut->Set("", 0);
    ExtractPathEx(dirOut);

    CStr* driveOut = drive ? drive : &scratch;
    driveOut->Set("", 0);
    ExtractDriveEx(driveOut);
    if (dir && !driveOut->IsEmpty()) {
        dir->Replace(driveOut->GetBuffer(), "", nullptr);
        dir->RemoveFirst('\\');
    }

    CStr* nameOut = name ? name : &scratch;
    nameOut->Set("", 0);
    ExtractNameEx(nameOut);

    CStr* cmdOut = cmd ? cmd : &scratch;
    cmdOut->Set("", 0);
    ExtractCmdEx(cmdOut);
    if (name && !cmdOut->IsEmpty()) {
        name->Replace(cmdOut->GetBuffer(), "", nullptr);
        name->RemoveLast(' ', 0);
    }
    return 1;
}
