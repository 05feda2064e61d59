#include "utilities/VZConst.h"

QCursor VzCursor(int cursor)
{
    switch (cursor) {
    case crVzHand: return QCursor(Qt::PointingHandCursor);
    case crVzDrag: return QCursor(Qt::DragMoveCursor);
    default: return QCursor(Qt::ArrowCursor);
    }
}
