#include "platform/ui/TableList.h"

namespace ui {

bool sortsBefore(const QString& a, const QString& b) {
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace ui
