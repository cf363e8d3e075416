#include "editor/window/reader_page.h"

#include <QFile>

#if MUS_WITH_READER_PAGE
#include "reader/page_digest.h"

// The resource lives in a static library: it is registered by hand.
static void InitReaderPageResource()
{
    Q_INIT_RESOURCE(reader_page);
}
#endif

namespace mus {

QByteArray ReaderPage()
{
#if MUS_WITH_READER_PAGE
    InitReaderPageResource();
    QFile page(QStringLiteral(":/reader/murmurscript-reader.html"));
    if (page.open(QIODevice::ReadOnly)) return page.readAll();
#endif
    return {};
}

bool ReaderPageShipped()
{
    return MUS_WITH_READER_PAGE != 0;
}

QString ReaderPageDigest()
{
#if MUS_WITH_READER_PAGE
    return QStringLiteral(MUS_READER_PAGE_SHA256);
#else
    return {};
#endif
}

} // namespace mus
