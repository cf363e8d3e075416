#include "editor/icons/pictures.h"

#include <QPixmap>

#include <algorithm>
#include <cstring>

namespace mus {

QImage BuiltPicture(const char* name, int side)
{
    for (int i = 0; i < pictures::kEntryCount; ++i) {
        const pictures::Entry& e = pictures::kEntries[i];
        if (std::strcmp(e.name, name) == 0 && std::max(e.width, e.height) == side) {
            // The image reads the compiled-in table without copying it.
            return QImage(reinterpret_cast<const uchar*>(e.pixels), e.width, e.height,
                          QImage::Format_ARGB32_Premultiplied);
        }
    }
    return QImage();
}

QIcon BuiltIcon(const char* name, std::initializer_list<int> sides)
{
    QIcon icon;
    for (const int side : sides) {
        const QImage picture = BuiltPicture(name, side);
        if (!picture.isNull()) icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

} // namespace mus
