#include "engine/services/jdk_release_file_reader.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

const std::filesystem::path kData = std::filesystem::path(QUILL_TEST_DATA_DIR) / "java";
const std::string kVMs = "/Library/Java/JavaVirtualMachines/";

std::string home(const std::string& bundle) {
    return kVMs + bundle + "/Contents/Home";
}
std::string releaseOf(const std::string& bundle) {
    return home(bundle) + "/release";
}
std::string plistOf(const std::string& bundle) {
    return kVMs + bundle + "/Contents/Info.plist";
}

/// `text` with CR LF line ends.
std::string withCRLF(const std::string& text) {
    std::string converted;
    for (const char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    return converted;
}

TEST(JdkReleaseFileReaderTest, ParsesReleaseLines) {
    const std::string text =
        "JAVA_VERSION=\"21.0.2\"\n"
        "\n"
        "IMPLEMENTOR =  \"a=b\"\t\n"  // split at the first "=" only; spaces, tabs and quotes go
        "QUOTE=\"\n"                  // a lone quote stays
        "EMPTY=\n"                    // empty values are kept
        "INNER=\"say \\\"hi\\\"\"\n"  // no unescaping beyond the outer quotes
        "no equals sign here\n"
        " =orphan value\n"            // an empty key is dropped
        "JAVA_VERSION=\"21.0.3\"\n";  // a later key replaces an earlier one
    const std::map<std::string, std::string> expected = {
        {"JAVA_VERSION", "21.0.3"},  {"IMPLEMENTOR", "a=b"}, {"QUOTE", "\""}, {"EMPTY", ""},
        {"INNER", "say \\\"hi\\\""},
    };
    EXPECT_EQ(JdkReleaseFileReader::parse(text), expected);
    EXPECT_EQ(JdkReleaseFileReader::parse(withCRLF(text)), expected);
}

TEST(JdkReleaseFileReaderTest, ReadsRealReleaseFiles) {
    auto fs = std::make_shared<test::ScriptedFileSystem>();
    fs->addFileFrom(releaseOf("temurin-21.jdk"), kData / "temurin-21.release");
    fs->addFileFrom(releaseOf("zulu-17.jdk"), kData / "zulu-17.release");
    const JdkReleaseFileReader reader{fs};

    EXPECT_EQ(reader.jdkInfo("temurin-21.jdk"),
              (JDKInfo{"21.0.2", "Eclipse Adoptium", "", home("temurin-21.jdk")}));
    EXPECT_EQ(reader.jdkInfo("zulu-17.jdk"),
              (JDKInfo{"17.0.10", "Azul Systems, Inc.", "", home("zulu-17.jdk")}));

    // CR LF line ends read the same.
    fs->addFile(releaseOf("crlf.jdk"), withCRLF(test::readFile(kData / "temurin-21.release")));
    EXPECT_EQ(reader.jdkInfo("crlf.jdk"), (JDKInfo{"21.0.2", "Eclipse Adoptium", "", home("crlf.jdk")}));

    // A release file without IMPLEMENTOR gives an empty vendor.
    fs->addFile(releaseOf("bare.jdk"), "JAVA_VERSION=\"22\"\n");
    EXPECT_EQ(reader.jdkInfo("bare.jdk"), (JDKInfo{"22", "", "", home("bare.jdk")}));
}

TEST(JdkReleaseFileReaderTest, FallsBackToTheInfoPlistInXmlOrBinary) {
    auto fs = std::make_shared<test::ScriptedFileSystem>();
    fs->addFileFrom(plistOf("zulu-8.jdk"), kData / "zulu-8.Info.plist");
    fs->addFileFrom(plistOf("example-11.jdk"), kData / "example-11.Info.binary.plist");
    // A release file whose version has no major falls through to the property list, vendor and all.
    fs->addFileFrom(releaseOf("example-11.jdk"), kData / "unnumbered.release");
    const JdkReleaseFileReader reader{fs};

    EXPECT_EQ(reader.jdkInfo("zulu-8.jdk"), (JDKInfo{"1.8.0_392", "", "", home("zulu-8.jdk")}));
    EXPECT_EQ(reader.jdkInfo("example-11.jdk"), (JDKInfo{"11.0.22", "", "", home("example-11.jdk")}));

    // A release file that is not UTF-8 counts as unreadable.
    fs->addFile(releaseOf("zulu-8.jdk"), "JAVA_VERSION=\"17\xFF\"\n");
    EXPECT_EQ(reader.jdkInfo("zulu-8.jdk"), (JDKInfo{"1.8.0_392", "", "", home("zulu-8.jdk")}));
}

TEST(JdkReleaseFileReaderTest, BundlesWithoutAUsableVersionYieldNothing) {
    auto fs = std::make_shared<test::ScriptedFileSystem>();
    const JdkReleaseFileReader reader{fs};
    EXPECT_EQ(reader.jdkInfo("missing.jdk"), std::nullopt);

    const auto plistWith = [](const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
               "\n</plist>\n";
    };
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"garbage.jdk", "not a property list at all"},
        {"bplist.jdk", "bplist00\x01\x02"},
        {"array.jdk", plistWith("<array><string>JavaVM</string></array>")},
        {"nojavavm.jdk", plistWith("<dict><key>CFBundleName</key><string>x</string></dict>")},
        {"notdict.jdk", plistWith("<dict><key>JavaVM</key><string>21</string></dict>")},
        {"notstring.jdk", plistWith("<dict><key>JavaVM</key><dict><key>JVMVersion</key><integer>21</integer>"
                                    "</dict></dict>")},
        {"nomajor.jdk", plistWith("<dict><key>JavaVM</key><dict><key>JVMVersion</key><string>abc</string>"
                                  "</dict></dict>")},
    };
    for (const auto& [bundle, plist] : broken) {
        fs->addFile(plistOf(bundle), plist);
        fs->addFileFrom(releaseOf(bundle), kData / "unnumbered.release");
        EXPECT_EQ(reader.jdkInfo(bundle), std::nullopt) << bundle;
    }
}

TEST(JdkReleaseFileReaderTest, DiscoversOnlyBundlesJavaHomeDidNotList) {
    auto fs = std::make_shared<test::ScriptedFileSystem>();
    fs->addFileFrom(releaseOf("temurin-21.jdk"), kData / "temurin-21.release");
    fs->addFileFrom(releaseOf("zulu-17.jdk"), kData / "zulu-17.release");
    fs->addFileFrom(plistOf("zulu-8.jdk"), kData / "zulu-8.Info.plist");
    const JdkReleaseFileReader reader{fs};
    const std::vector<std::string> entries = {"zulu-8.jdk", ".DS_Store", "temurin-21.jdk", "notes.txt",
                                              "zulu-17.jdk"};

    // Nothing listed: every readable bundle, in listing order.
    const auto all = reader.discoverJDKs(entries, {});
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0].version, "1.8.0_392");
    EXPECT_EQ(all[1].version, "21.0.2");
    EXPECT_EQ(all[2].version, "17.0.10");

    // A listed home inside the folder suppresses its bundle (however its path is spelled after the bundle
    // name); a listed JDK under the user's own Library suppresses nothing.
    const std::vector<JDKInfo> listed = {
        {"21.0.2", "Eclipse Adoptium", "arm64", kVMs + "temurin-21.jdk/Contents/Home"},
        {"17.0.10", "Azul Systems, Inc.", "arm64",
         "/Users/ana/Library/Java/JavaVirtualMachines/zulu-17.jdk/Contents/Home"},
        {"8", "", "arm64", kVMs + "/zulu-8.jdk"},
    };
    const auto extra = reader.discoverJDKs(entries, listed);
    ASSERT_EQ(extra.size(), 1U);
    EXPECT_EQ(extra[0], (JDKInfo{"17.0.10", "Azul Systems, Inc.", "", home("zulu-17.jdk")}));
}

}  // namespace
}  // namespace quill
