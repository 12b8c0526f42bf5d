// Commit of a whole track's temporary file to its final name.
#include "encoders/framework/OutputFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace tonvane;
using namespace tonvane::test;

namespace {

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.insert(item.path().filename().string());
    return names;
}

enum class Method { Commit, WithoutReplacing };

} // namespace

TEST(OutputFile, CommitRenamesOnlyWhatItMayAndLeavesEverythingElseAlone)
{
    struct Case {
        const char* name;
        Method method;
        ExistingFiles existing;
        bool finalExists;
        CommitResult result;
    } cases[] = {
        {"refuse, free name", Method::Commit, ExistingFiles::Refuse, false, CommitResult::Committed},
        {"refuse, name taken", Method::Commit, ExistingFiles::Refuse, true, CommitResult::NameTaken},
        {"replace, free name", Method::Commit, ExistingFiles::Replace, false, CommitResult::Committed},
        {"replace, name taken", Method::Commit, ExistingFiles::Replace, true, CommitResult::Committed},
        {"link fallback, free name", Method::WithoutReplacing, ExistingFiles::Refuse, false, CommitResult::Committed},
        {"link fallback, name taken", Method::WithoutReplacing, ExistingFiles::Refuse, true, CommitResult::NameTaken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string part = dir.file(".01 - Ça.flac.part"), final = dir.file("01 - Ça.flac");
        writeFile(part, "new audio");
        if (c.finalExists)
            writeFile(final, "earlier audio");
        std::u16string partPath(WideString::fromUtf8(part).view()), finalPath(WideString::fromUtf8(final).view());
        CommitResult result = c.method == Method::Commit ? commitOutputFile(partPath, finalPath, c.existing)
                                                         : commitWithoutReplacing(partPath, finalPath);
        EXPECT_EQ(result, c.result);
        if (result == CommitResult::Committed) {
            EXPECT_EQ(readFile(final), "new audio");
            EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"01 - Ça.flac"});
        } else { // both files exactly as they were
            EXPECT_EQ(readFile(final), "earlier audio");
            EXPECT_EQ(readFile(part), "new audio");
        }
        EXPECT_TRUE(removeOutputFile(partPath));
        EXPECT_TRUE(removeOutputFile(partPath)); // gone already: still true
        EXPECT_FALSE(fileExists(part));
    }
}

TEST(OutputFile, CommitOfAMissingFileOrIntoAMissingFolderFails)
{
    TempDir dir;
    writeFile(dir.file("a.part"), "x");
    std::u16string part(WideString::fromUtf8(dir.file("a.part")).view());
    for (ExistingFiles existing : {ExistingFiles::Refuse, ExistingFiles::Replace}) {
        EXPECT_EQ(commitOutputFile(WideString::fromUtf8(dir.file("missing.part")).view(),
                                   WideString::fromUtf8(dir.file("b")).view(), existing),
                  CommitResult::Failed);
        EXPECT_EQ(commitOutputFile(part, WideString::fromUtf8(dir.file("no-folder/b")).view(), existing),
                  CommitResult::Failed);
        EXPECT_EQ(commitOutputFile(part, std::u16string_view(u"b\0c", 3), existing), CommitResult::Failed);
    }
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"a.part"});
}
