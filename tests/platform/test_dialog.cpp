// SPDX-License-Identifier: MIT
// The open-file dialog through a stand-in for the chooser program: the
// arguments it gets, and how its answer fills the caller's record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LumoPlatform.h"
#include "seams/UserSeams.h"
#include "support/ScratchFolder.h"

namespace {

// Writes its arguments one per line to $FAKE_ARGS, prints $FAKE_ANSWER and
// exits with $FAKE_STATUS.
const char kScript[] =
    "#!/bin/sh\n"
    ": > \"$FAKE_ARGS\"\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$FAKE_ARGS\"; done\n"
    "[ -n \"$FAKE_ANSWER\" ] && printf '%s\\n' \"$FAKE_ANSWER\"\n"
    "exit ${FAKE_STATUS:-0}\n";

class FileDialog : public testing::Test {
 protected:
  void SetUp() override {
    script_ = dir_ + "/chooser";
    std::ofstream(script_) << kScript;
    chmod(script_.c_str(), 0755);
    args_ = dir_ + "/args";
    setenv("LUMO_FILE_DIALOG", script_.c_str(), 1);
    setenv("FAKE_ARGS", args_.c_str(), 1);
    unsetenv("FAKE_ANSWER");
    unsetenv("FAKE_STATUS");
    std::memset(&ofn_, 0, sizeof ofn_);
    std::memset(file_, 0, sizeof file_);
    ofn_.lStructSize = 88;
    ofn_.lpstrFilter = "Bitmap Files (*.bmp)\0*.bmp\0";
    ofn_.lpstrFile = file_;
    ofn_.nMaxFile = 256;
    ofn_.lpstrInitialDir = "c:\\";
    ofn_.lpstrTitle = "Save Bitmap";
    ofn_.lpstrDefExt = ".bmp";
  }
  void TearDown() override {
    unsetenv("LUMO_FILE_DIALOG");
    lumo::test::ResetWindows();
  }
  std::vector<std::string> Args() const {
    std::ifstream in(args_);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  void Answer(const std::string& path, int status = 0) {
    setenv("FAKE_ANSWER", path.c_str(), 1);
    setenv("FAKE_STATUS", std::to_string(status).c_str(), 1);
  }

  // Everything the tests write, the chooser's answers included, is in here.
  lumo::test::ScratchFolder scratch_{"lumo-dialog"};
  const std::string dir_ = scratch_.Path().string();
  std::string script_, args_;
  OPENFILENAMEA ofn_;
  char file_[256];
};

std::string Cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

TEST_F(FileDialog, ChooserGetsTitleFilterAndCurrentFolderForAMissingOne) {
  Answer(dir_ + "/picture");
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  auto args = Args();
  ASSERT_GE(args.size(), 5u);
  EXPECT_EQ(args[0], "--file-selection");
  EXPECT_EQ(args[1], "--title=Save Bitmap");
  EXPECT_EQ(args[2], "--save");  // the file need not exist
  EXPECT_EQ(args[3], "--filename=" + Cwd() + "/");
  EXPECT_EQ(args[4], "--file-filter=Bitmap Files (*.bmp) | *.bmp");
  // The default extension is added to a name without one.
  EXPECT_EQ(std::string(file_), dir_ + "/picture.bmp");
  EXPECT_EQ(ofn_.nFileOffset, dir_.size() + 1);
  EXPECT_EQ(ofn_.nFileExtension, dir_.size() + 9);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(lumo::test::FileDialogCallCount(), 1);
  EXPECT_EQ(lumo::test::LastFileDialogCall().initialDir, Cwd());
}

TEST_F(FileDialog, ExistingFolderSeveralFiltersAndExistingExtension) {
  ofn_.lpstrInitialDir = dir_.c_str();
  ofn_.lpstrFilter = "Pictures\0*.bmp;*.png\0All\0*\0";
  ofn_.Flags = OFN_FILEMUSTEXIST;
  const std::string pwned = dir_ + "/pwned";
  const std::string title = "It's \"$(touch " + pwned + ")\"";  // passed on as text, never run
  ofn_.lpstrTitle = title.c_str();
  Answer(dir_ + "/a.png");
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  auto args = Args();
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(args[1], std::string("--title=") + ofn_.lpstrTitle);
  EXPECT_EQ(args[2], "--filename=" + dir_ + "/");
  EXPECT_EQ(args[3], "--file-filter=Pictures | *.bmp *.png");
  EXPECT_EQ(args[4], "--file-filter=All | *");
  EXPECT_EQ(std::string(file_), dir_ + "/a.png");
  EXPECT_EQ(ofn_.nFileExtension, dir_.size() + 3);
  struct stat st;
  EXPECT_NE(stat(pwned.c_str(), &st), 0);
}

TEST_F(FileDialog, CancelOrEmptyAnswerReturnsZeroAndLeavesTheBuffer) {
  Answer("", 1);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(file_[0], '\0');
  Answer("", 0);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  // A chooser that fails (rather than being cancelled) is an error.
  Answer(dir_ + "/ignored", 255);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
  EXPECT_EQ(file_[0], '\0');
}

TEST_F(FileDialog, PathMustFitWithItsNul) {
  ASSERT_LT(dir_.size(), 200u) << "TMPDIR too long for this test";
  std::string name = dir_ + "/" + std::string(254 - dir_.size(), 'x') + ".bmp";  // 259 characters
  Answer(name);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  // The size needed, in the first two bytes.
  EXPECT_EQ(static_cast<unsigned char>(file_[0]) | (static_cast<unsigned char>(file_[1]) << 8), 260);

  std::string fits = dir_ + "/" + std::string(250 - dir_.size(), 'y') + ".bmp";  // 255 characters
  Answer(fits);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(file_), fits);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(FileDialog, MissingChooserFailsWithAnError) {
  setenv("LUMO_FILE_DIALOG", (dir_ + "/no-such-program").c_str(), 1);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
  ofn_.lpstrFile = nullptr;
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
}

TEST_F(FileDialog, KdialogServesWhenZenityIsMissing) {
  // A PATH holding only a chooser named kdialog.
  std::string bin = dir_ + "/bin";
  mkdir(bin.c_str(), 0755);
  std::string kdialog = bin + "/kdialog";
  std::rename(script_.c_str(), kdialog.c_str());
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  unsetenv("LUMO_FILE_DIALOG");
  setenv("PATH", bin.c_str(), 1);
  Answer(dir_ + "/from-kde");
  BOOL ok = GetOpenFileNameA(&ofn_);
  setenv("PATH", path.c_str(), 1);
  std::rename(kdialog.c_str(), script_.c_str());
  rmdir(bin.c_str());
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::string(file_), dir_ + "/from-kde.bmp");
  EXPECT_EQ(Args(), (std::vector<std::string>{"--title", "Save Bitmap", "--getsavefilename", Cwd() + "/",
                                              "*.bmp|Bitmap Files (*.bmp)"}));
}

TEST_F(FileDialog, QueuedAnswersReplaceTheChooser) {
  lumo::test::QueueFileDialogAnswer(dir_ + "/queued");
  lumo::test::QueueFileDialogCancel();
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(file_), dir_ + "/queued.bmp");
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_TRUE(Args().empty());  // the chooser never ran
  auto call = lumo::test::LastFileDialogCall();
  EXPECT_EQ(call.title, "Save Bitmap");
  ASSERT_EQ(call.filters.size(), 1u);
  EXPECT_EQ(call.filters[0].second, "*.bmp");
  EXPECT_EQ(call.maxFile, 256u);
  EXPECT_EQ(call.defExt, ".bmp");
}

TEST_F(FileDialog, NamesEndingInADotOrWithAnExtensionKeepThem) {
  ofn_.lpstrDefExt = "bmp";
  lumo::test::QueueFileDialogAnswer(dir_ + "/dir.d/name");
  lumo::test::QueueFileDialogAnswer(dir_ + "/name.");
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(file_), dir_ + "/dir.d/name.bmp");  // a dot in the folder is no extension
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(file_), dir_ + "/name.");
  EXPECT_EQ(ofn_.nFileExtension, 0);
}

// ---- Message box: the same stand-in, in LUMO_MESSAGE_BOX ----

class MessageBox : public FileDialog {
 protected:
  void SetUp() override {
    FileDialog::SetUp();
    unsetenv("LUMO_FILE_DIALOG");
    setenv("LUMO_MESSAGE_BOX", script_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("LUMO_MESSAGE_BOX");
    FileDialog::TearDown();
  }
};

TEST_F(MessageBox, TextIsShownAsItIsAndEveryCloseIsOk) {
  const char text[] = "Could not save to pictures/<b>a&b\\tc.bmp: Access is denied.";
  EXPECT_EQ(MessageBoxA(nullptr, text, "fumes", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(Args(),
            (std::vector<std::string>{"--error", "--title=fumes", std::string("--text=") + text, "--no-markup"}));
  // Closed otherwise than by OK (Escape, the close box).
  Answer("", 1);
  EXPECT_EQ(MessageBoxA(nullptr, "x", nullptr, MB_ICONWARNING), IDOK);
  EXPECT_EQ(Args()[0], "--warning");
  EXPECT_EQ(Args()[1], "--title=Error");
  EXPECT_EQ(lumo::test::MessageBoxCallCount(), 2);
  EXPECT_EQ(lumo::test::LastMessageBox().type, static_cast<UINT>(MB_ICONWARNING));
}

TEST_F(MessageBox, ABoxThatCannotBeShownFailsAndOnlyOkIsOffered) {
  setenv("LUMO_MESSAGE_BOX", (dir_ + "/no-such-program").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "the lost words", "fumes", MB_OK), 0);
  // Not lost: said on standard error instead.
  EXPECT_NE(testing::internal::GetCapturedStderr().find("fumes: the lost words\n"), std::string::npos);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "fumes", 4 /* MB_YESNO */), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  lumo::test::QueueMessageBoxAnswer();
  EXPECT_EQ(MessageBoxA(nullptr, "queued", "fumes", MB_OK), IDOK);
  EXPECT_TRUE(Args().empty());  // no program ran
}

}  // namespace
