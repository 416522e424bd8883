#include "app/file_naming.h"

#include <gtest/gtest.h>

#include <set>

namespace tovasen {
namespace {

constexpr std::uint32_t kArchive = 0x20, kDirectory = 0x10, kHidden = 0x02;

// A folder held in memory: the entries it lists and the paths that exist.
struct FakeFolder {
    std::vector<DirEntry> entries;
    LocalTime time{2025, 1, 2, 3, 4, 5, 6};

    void Add(const std::wstring& name, std::uint32_t attributes = kArchive) { entries.push_back({name, attributes}); }
    NamingContext Context() const {
        return {[this] { return entries; },
                [this](const std::wstring& path) {
                    for (const DirEntry& e : entries) {
                        if (L"C:\\Shots\\" + e.name == path) return true;
                    }
                    return false;
                },
                [this] { return time; }};
    }
    std::wstring Next(int scheme, const std::wstring& ext = L"png") const {
        return NewFilename(static_cast<NamingScheme>(scheme), L"C:\\Shots", ext, Context());
    }
};

TEST(FileNaming, SequentialNamesInAnEmptyFolder) {
    FakeFolder folder;
    EXPECT_EQ(L"C:\\Shots\\T-001.png", folder.Next(1));
    folder.Add(L"T-001.png");
    EXPECT_EQ(L"C:\\Shots\\T-002.png", folder.Next(1));
    EXPECT_EQ(L"C:\\Shots\\T-002.png", folder.Next(3));
}

TEST(FileNaming, ContinueAfterTheHighestOrTakeTheFirstGap) {
    FakeFolder folder;
    folder.Add(L"T-001.png");
    folder.Add(L"T-003.png");
    EXPECT_EQ(L"C:\\Shots\\T-004.png", folder.Next(1));
    EXPECT_EQ(L"C:\\Shots\\T-002.png", folder.Next(3));

    FakeFolder jpegOnly;
    jpegOnly.Add(L"T-005.jpg");
    EXPECT_EQ(L"C:\\Shots\\T-006.png", jpegOnly.Next(1)) << "numbers count across extensions";
    EXPECT_EQ(L"C:\\Shots\\T-001.png", jpegOnly.Next(3));
}

TEST(FileNaming, NamesThatAreNotNumbersDoNotRaiseTheCounter) {
    FakeFolder folder;
    for (const wchar_t* name : {L"T-abc.png", L"T-12 (copy).png", L"t-009.png", L"T-20250102-030405006.png", L"T-7",
                                L"T-.png", L"T-99999999999.png", L"X-400.png"}) {
        folder.Add(name);
    }
    EXPECT_EQ(0, HighestSequenceNumber(folder.entries));
    EXPECT_EQ(L"C:\\Shots\\T-001.png", folder.Next(1));
}

TEST(FileNaming, FoldersCountOnlyWithMoreThanTheDirectoryAttribute) {
    FakeFolder folder;
    folder.Add(L"T-050.x", kDirectory);
    EXPECT_EQ(0, HighestSequenceNumber(folder.entries));
    folder.entries.back().attributes = kDirectory | kHidden;
    EXPECT_EQ(50, HighestSequenceNumber(folder.entries));
    EXPECT_EQ(L"C:\\Shots\\T-051.png", folder.Next(1));
}

TEST(FileNaming, NumbersGrowPastThreeDigits) {
    FakeFolder folder;
    folder.Add(L"T-999.png");
    EXPECT_EQ(L"C:\\Shots\\T-1000.png", folder.Next(1));
    EXPECT_EQ(L"T-012.gif", SequenceName(12, L"gif"));
}

TEST(FileNaming, DateAndTimeNamesNeverReplaceAFile) {
    FakeFolder folder;
    for (int scheme : {2, 7, 0}) {
        EXPECT_EQ(L"C:\\Shots\\T-20250102-030405006.png", folder.Next(scheme)) << "scheme " << scheme;
    }
    folder.Add(L"T-20250102-030405006.png");
    EXPECT_EQ(L"C:\\Shots\\T-20250102-030405006-1.png", folder.Next(2));
    folder.Add(L"T-20250102-030405006-1.png");
    EXPECT_EQ(L"C:\\Shots\\T-20250102-030405006-2.png", folder.Next(2));
    EXPECT_EQ(L"C:\\Shots\\T-20250102-030405006.webp", folder.Next(2, L"webp")) << "another extension is free";
    folder.time = {2031, 12, 31, 23, 59, 59, 999};
    EXPECT_EQ(L"C:\\Shots\\T-20311231-235959999.png", folder.Next(2));
}

TEST(FileNaming, JoinPathAndItsInvalidCharacters) {
    EXPECT_EQ(L"T-001.png", JoinPath(L"", L"T-001.png"));
    EXPECT_EQ(L"C:\\a\\T-001.png", JoinPath(L"C:\\a\\", L"T-001.png"));
    EXPECT_EQ(L"C:\\a/T-001.png", JoinPath(L"C:\\a/", L"T-001.png"));
    EXPECT_EQ(L"C:\\a\\T-001.png", JoinPath(L"C:\\a", L"T-001.png"));
    EXPECT_EQ(L"C:\\a\\*.*", AppendToFolder(L"C:\\a", L"*.*")) << "patterns are not checked";
    EXPECT_THROW(JoinPath(L"C:\\a|b", L"T-001.png"), EInvalidPath);
    EXPECT_THROW(JoinPath(L"C:\\a", L"T-001.p?g"), EInvalidPath);
    EXPECT_THROW(JoinPath(std::wstring(L"C:\\a\tb"), L"x"), EInvalidPath);
    FakeFolder folder;
    EXPECT_THROW(NewFilename(NamingScheme::Continue, L"C:\\<bad>", L"png", folder.Context()), EInvalidPath);
}

}  // namespace
}  // namespace tovasen
