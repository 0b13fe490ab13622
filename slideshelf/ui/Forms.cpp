#include "Forms.h"

#include <QFontDatabase>
#include <QStringList>

// Resources of a static library are registered by hand, from outside any
// namespace.
static void InitSlideshelfResources() { Q_INIT_RESOURCE(slideshelf); }

namespace slideshelf {

QFont FormFont() {
    static const QStringList faces = {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")};
    QFont font;
    font.setFamilies(faces);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    // DejaVu Sans is much wider than the others; its condensed face is the
    // nearer match.
    const QStringList installed = QFontDatabase::families();
    for (const QString& face : faces) {
        if (!installed.contains(face, Qt::CaseInsensitive)) continue;
        if (face == QLatin1String("DejaVu Sans")) font.setStretch(QFont::SemiCondensed);
        break;
    }
    return font;
}

void EnsureResources() {
    static const bool done = (InitSlideshelfResources(), true);
    (void)done;
}

}  // namespace slideshelf
