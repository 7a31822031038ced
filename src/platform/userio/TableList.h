#pragma once

// A list of table names as the commands and catalogues see it: sorted
// entries, each with a selected flag, and a current entry (-1 for none).

#include <QString>

namespace userio {

class TableList {
public:
    virtual ~TableList() = default;
    virtual int count() const = 0;
    virtual QString textAt(int index) const = 0;
    virtual bool isSelectedAt(int index) const = 0;
    virtual void setSelectedAt(int index, bool selected) = 0;
    virtual int selectedCount() const = 0;
    virtual int current() const = 0;
    virtual void setCurrent(int index) = 0;
    // Adds an entry at its sorted place, unselected.
    virtual void add(const QString& text) = 0;
    virtual void removeAt(int index) = 0;
    // Removes every entry; the current entry becomes -1.
    virtual void clearAll() = 0;
};

// The order of the lists: alphabetical without regard to letter case, the
// same in every locale; names equal but for case by character code.
bool sortsBefore(const QString& a, const QString& b);

} // namespace userio
