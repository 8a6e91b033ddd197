// CComparable: the data-less root of the class library.
#pragma once

class CComparable {
public:
    CComparable() = default;
    virtual ~CComparable() = default;
    // Orders this object against another; the root compares nothing (0).
    virtual int Compare(const CComparable* other, int mode) const {
        (void)other;
        (void)mode;
        return 0;
    }

    CComparable(const CComparable&) = delete;
    CComparable& operator=(const CComparable&) = delete;
};
