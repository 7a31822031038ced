#include "platform/userio/TableList.h"

namespace userio {

bool sortsBefore(const QString& a, const QString& b) {
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace userio
