#include "tests/ui/test_fonts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFontDatabase>
#include <QHash>
#include <QStringList>

namespace quill::ui::test {

QString bundledFontFamily(const QString& fileName) {
    static QHash<QString, QString> loaded;
    if (const auto known = loaded.constFind(fileName); known != loaded.cend())
        return *known;
    const QString path = QDir(QStringLiteral(QUILL_TEST_DATA_DIR "/fonts")).filePath(fileName);
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        ADD_FAILURE() << "cannot load the bundled font " << path.toStdString();
        return {};
    }
    loaded.insert(fileName, families.front());
    return families.front();
}

}  // namespace quill::ui::test
