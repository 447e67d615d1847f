// How the library file is kept, under Wine: never written over unless it was read whole,
// kept aside first with its older copies kept too.
#include "album/library_file.h"

#include <gtest/gtest.h>

#include "win/error.h"
#include "win/test_files.h"

using win::TempFolder;

namespace {

using Bytes = std::vector<std::uint8_t>;
Bytes Text(std::string_view s) { return {s.begin(), s.end()}; }

Bytes Albums(std::initializer_list<const char*> captions) {
  TAlbumLibrary library;
  for (const char* c : captions) library.Add({c});
  return library.FileBytes();
}

class LibraryFile : public testing::Test {
 protected:
  TempFolder dir;
  std::string path = dir.File("Quiran.Alb");
  TLibraryFile file{path};
  TAlbumLibrary library;
};

}  // namespace

// A start that failed before or while reading: the file must survive the close.
TEST_F(LibraryFile, AFileNeverReadIsNotWrittenOverAndIsKeptAsideOnceTheLibraryChanged) {
  TempFolder::Write(path, Albums({"旅行", "家族", "ソ能表"}));
  EXPECT_EQ(file.GetState(), TLibraryFile::State::NotRead);
  file.Save(library);  // nothing was read and nothing changed
  EXPECT_EQ(TempFolder::Read(path), Albums({"旅行", "家族", "ソ能表"}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.Alb"});

  library.Add({"新規アルバム"});
  file.Save(library);
  EXPECT_EQ(TempFolder::Read(file.AsidePath(1)), Albums({"旅行", "家族", "ソ能表"}));
  EXPECT_EQ(TempFolder::Read(path), Albums({"新規アルバム"}));
  EXPECT_EQ(file.GetState(), TLibraryFile::State::Whole);
  file.Save(library);  // now written over like any file read whole
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Quiran.Alb", "Quiran.Alb.bad"}));
}

TEST_F(LibraryFile, KeptAsideCopiesKeepTheirOlderGenerations) {
  ASSERT_EQ(file.AsidePath(2), path + ".bad2");
  TempFolder::Write(file.AsidePath(1), Text("the good library"));
  // Six more bad starts, each with its own damaged file and a change before closing.
  for (int start = 1; start <= 6; ++start) {
    Bytes damaged = Albums({"a", "b"});
    damaged.resize(damaged.size() - 10 * static_cast<std::size_t>(start));
    TempFolder::Write(path, damaged);
    TLibraryFile again(path);
    TAlbumLibrary read;
    ASSERT_TRUE(again.Load(read));
    EXPECT_EQ(again.GetState(), TLibraryFile::State::NotWhole);
    EXPECT_EQ(read.Count(), 1u);
    again.Save(read);  // unchanged: the damaged file stays
    EXPECT_EQ(TempFolder::Read(path), damaged);
    read.Add({"new"});
    again.Save(read);
    EXPECT_EQ(TempFolder::Read(again.AsidePath(1)), damaged);
    if (start < TLibraryFile::kAsideGenerations)
      EXPECT_EQ(TempFolder::Read(again.AsidePath(start + 1)), Text("the good library")) << start;
  }
  // Five generations are kept, no more.
  EXPECT_EQ(dir.Names().size(), 1u + TLibraryFile::kAsideGenerations);

  // The same damaged file kept aside twice makes no second copy of it.
  Bytes newest = TempFolder::Read(file.AsidePath(1)), second = TempFolder::Read(file.AsidePath(2));
  TempFolder::Write(path, newest);
  TLibraryFile same(path);
  TAlbumLibrary read;
  same.Load(read);
  read.Add({"x"});
  same.Save(read);
  EXPECT_EQ(TempFolder::Read(file.AsidePath(2)), second);
}

TEST_F(LibraryFile, ANewerVersionIsReadAndKeptAsideBeforeItIsWrittenOver) {
  Bytes v31 = Albums({"旅行"});
  v31[20] = 31;
  TempFolder::Write(path, v31);
  ASSERT_TRUE(file.Load(library));
  EXPECT_EQ(file.GetState(), TLibraryFile::State::NotWhole);
  ASSERT_EQ(library.Count(), 1u);
  library.Albums()[0]->Caption = "旅行２";
  file.Save(library);
  EXPECT_EQ(TempFolder::Read(file.AsidePath(1)), v31);
  EXPECT_EQ(TempFolder::Read(path)[20], 30);
}

TEST_F(LibraryFile, MissingWholeAndForeignFiles) {
  EXPECT_FALSE(file.Load(library));
  EXPECT_EQ(file.GetState(), TLibraryFile::State::Missing);
  file.Save(library);  // the first start writes the empty library
  EXPECT_EQ(TempFolder::Read(path).size(), 28u);

  ASSERT_TRUE(file.Load(library));
  EXPECT_EQ(file.GetState(), TLibraryFile::State::Whole);
  file.Save(library);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.Alb"});

  TempFolder::Write(path, Text("not an album library"));
  TLibraryFile foreign(path);
  EXPECT_FALSE(foreign.Load(library));
  EXPECT_EQ(foreign.GetState(), TLibraryFile::State::NotWhole);
  library.Add({"a"});
  foreign.Save(library);
  EXPECT_EQ(TempFolder::Read(foreign.AsidePath(1)), Text("not an album library"));

  // A file that cannot be read raises its error and stays unread.
  HANDLE lock = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  TLibraryFile locked(path);
  EXPECT_THROW(locked.Load(library), EFOpenError);
  EXPECT_EQ(locked.GetState(), TLibraryFile::State::NotRead);
  EXPECT_THROW(locked.Save(library), EFOpenError);  // it cannot be kept aside: not written over
  CloseHandle(lock);
  EXPECT_EQ(TempFolder::Read(path), Albums({"a"}));
}

// Another Quiran (another PC sharing the program's folder) wrote the library after this one
// read it: closing without a change leaves theirs; closing with one keeps theirs aside.
TEST_F(LibraryFile, ALibraryWrittenBySomeoneElseSinceItWasReadIsNeverLost) {
  TempFolder::Write(path, Albums({"旅行"}));
  ASSERT_TRUE(file.Load(library));
  TempFolder::Write(path, Albums({"旅行", "別のPCで"}));
  file.Save(library);  // nothing changed here: nothing is written
  EXPECT_EQ(TempFolder::Read(path), Albums({"旅行", "別のPCで"}));
  library.Add({"ここで"});
  file.Save(library);
  EXPECT_EQ(TempFolder::Read(path), Albums({"旅行", "ここで"}));
  EXPECT_EQ(TempFolder::Read(file.AsidePath(1)), Albums({"旅行", "別のPCで"}));
  // Stale temporary files of the library go with the next save.
  TempFolder::Write(path + ".~0badf00d.tmp", Text("x"));
  library.Add({"もう一冊"});
  file.Save(library);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Quiran.Alb", "Quiran.Alb.bad"}));
}
