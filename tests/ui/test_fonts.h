#pragma once

#include <QString>

namespace quill::ui::test {

/// Adds the font file `fileName` of tests/data/fonts to the application's fonts and gives its family, so that
/// a test measures with the same font whatever the machine has installed. A file that cannot be loaded fails
/// the test and gives an empty family: stop on it with `ASSERT_FALSE(family.isEmpty())`. A file is loaded
/// once per process.
[[nodiscard]] QString bundledFontFamily(const QString& fileName);

}  // namespace quill::ui::test
