// Where a run writes its log and photo: a portable copy in its program
// folder, an installed copy in its user's places; and the log's one warning.
#include "StatePlaces.h"
#include "DailyLog.h"
#include "SysOper.h"
#include "UserPlaces.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

TEST(StatePlaces, PortableCopyWritesBesideTheProgramAsBefore) {
    const StatePlaces::Environment env{"/home/officer", "/home/officer/state", "/run/user/1000",
                                       ""};
    const StatePlaces::Places places = StatePlaces::Choose("/media/usb/tavlin/", true, env);
    EXPECT_TRUE(places.portable);
    EXPECT_EQ(places.logFolder, "/media/usb/tavlin/LogFiles/");
    EXPECT_EQ(places.photoFolder, "/media/usb/tavlin/");
    EXPECT_FALSE(places.photoFolderIsPrivate);
}

TEST(StatePlaces, InstalledCopyWritesIntoTheUsersPlaces) {
    StatePlaces::Environment env{"/home/officer", "", "/run/user/1000", ""};
    StatePlaces::Places places = StatePlaces::Choose("/usr/lib/tavlin/", false, env);
    EXPECT_FALSE(places.portable);
    EXPECT_EQ(places.logFolder, "/home/officer/.local/state/tavlin/LogFiles/");
    EXPECT_EQ(places.photoFolder, "/run/user/1000/tavlin/");

    // XDG_STATE_HOME counts only as an absolute path; without HOME either, nowhere.
    env.stateHome = "/var/state/officer/";
    EXPECT_EQ(StatePlaces::UserLogFolder(env), "/var/state/officer/tavlin/LogFiles/");
    env.stateHome = "relative/state";
    EXPECT_EQ(StatePlaces::UserLogFolder(env), "/home/officer/.local/state/tavlin/LogFiles/");
    env.home.clear();
    EXPECT_EQ(StatePlaces::UserLogFolder(env), "");

    // A reader looks in both places, each once.
    env = {"/home/officer", "", "", ""};
    EXPECT_EQ(StatePlaces::LogFolders("/usr/lib/tavlin/", env),
              (std::vector<std::string>{"/usr/lib/tavlin/LogFiles/",
                                        "/home/officer/.local/state/tavlin/LogFiles/"}));
}

TEST(StatePlaces, FoldersAreMadePrivateAndTheRunsPhotoFolderGoes) {
    TempDir dir;
    const StatePlaces::Environment env{(dir.path() / "home").string(), "",
                                       (dir.path() / "run").string(),
                                       (dir.path() / "tmp").string()};
    std::filesystem::create_directories(dir.path() / "run");
    std::filesystem::create_directories(dir.path() / "tmp");
    StatePlaces::Places places = StatePlaces::Choose(dir.folder() + "opt/", false, env);

    // The log folder with every missing parent.
    StatePlaces::MakeLogFolder(places);
    EXPECT_TRUE(std::filesystem::is_directory(places.logFolder));
    EXPECT_EQ(ModeOf(dir.path() / "home/.local/state/tavlin"), 0700u);

    // The photo folder in the runtime folder, 0700, and gone at the end.
    EXPECT_EQ(StatePlaces::MakePhotoFolder(places, env), "");
    EXPECT_EQ(places.photoFolder, (dir.path() / "run/tavlin/").string());
    EXPECT_TRUE(places.photoFolderIsPrivate);
    EXPECT_EQ(ModeOf(dir.path() / "run/tavlin"), 0700u);
    testsupport::WriteAll(places.photoFolder + "USB_Temp.jpg", "jpeg");
    StatePlaces::RemovePhotos(places);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "run/tavlin"));

    // Left by a run that was killed, and opened to others: taken back, closed again.
    std::filesystem::create_directories(dir.path() / "run/tavlin");
    ::chmod((dir.path() / "run/tavlin").c_str(), 0777);
    places = StatePlaces::Choose(dir.folder() + "opt/", false, env);
    EXPECT_EQ(StatePlaces::MakePhotoFolder(places, env), "");
    EXPECT_EQ(ModeOf(dir.path() / "run/tavlin"), 0700u);
    StatePlaces::RemovePhotos(places);

    // Something else in its place (a link someone put there): never used; a
    // private folder of its own under the temporary folder instead.
    std::filesystem::create_directories(dir.path() / "elsewhere");
    std::filesystem::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "run/tavlin");
    places = StatePlaces::Choose(dir.folder() + "opt/", false, env);
    EXPECT_EQ(StatePlaces::MakePhotoFolder(places, env), "");
    EXPECT_EQ(places.photoFolder.rfind((dir.path() / "tmp/tavlin-").string(), 0), 0u)
        << places.photoFolder;
    EXPECT_EQ(ModeOf(places.photoFolder), 0700u);
    StatePlaces::RemovePhotos(places);
    EXPECT_FALSE(std::filesystem::exists(places.photoFolder));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "elsewhere")); // what the link led to stays

    // No runtime folder at all: under the temporary folder too.
    places = StatePlaces::Choose(dir.folder() + "opt/", false, {env.home, "", "", env.tmpDir});
    EXPECT_EQ(StatePlaces::MakePhotoFolder(places, env), "");
    EXPECT_EQ(places.photoFolder.rfind((dir.path() / "tmp/tavlin-").string(), 0), 0u);
    StatePlaces::RemovePhotos(places);

    // Nowhere to make it: the reason is told, and nothing is ever removed.
    places = StatePlaces::Choose(dir.folder() + "opt/", false,
                                 {env.home, "", "", (dir.path() / "missing").string()});
    const std::string problem =
        StatePlaces::MakePhotoFolder(places, {"", "", "", (dir.path() / "missing").string()});
    EXPECT_NE(problem.find("No such file or directory"), std::string::npos) << problem;
    EXPECT_FALSE(places.photoFolderIsPrivate);
    // Never the shared temporary folder itself, where anyone could put a link.
    EXPECT_NE(places.photoFolder, (dir.path() / "missing").string() + "/");
}

TEST(StatePlaces, APortableCopyRemovesOnlyItsPhotoAtTheEnd) {
    TempDir dir;
    const StatePlaces::Places places = StatePlaces::Choose(dir.folder(), true, {});
    testsupport::WriteAll(dir.path() / "USB_Temp.jpg", "jpeg");
    testsupport::WriteAll(dir.path() / "USB_Temp.jpg.part", "jp");
    testsupport::WriteAll(dir.path() / "tavlin", "the program");
    StatePlaces::RemovePhotos(places);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "USB_Temp.jpg"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "USB_Temp.jpg.part"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "tavlin")); // the folder is not the run's
}

TEST(StatePlaces, ALogThatCannotBeWrittenIsSaidOnceOnStandardError) {
    TempDir dir;
    testsupport::WriteAll(dir.path() / "file", "a file, not a folder");
    const std::string kept = TSysOper::LogFolder();
    TSysOper::SetLogFolder((dir.path() / "file" / "LogFiles").string() + "/");
    testing::internal::CaptureStderr();
    TSysOper::WriteLog("first entry");
    TSysOper::WriteLog("second entry");
    const std::string said = testing::internal::GetCapturedStderr();
    TSysOper::SetLogFolder(kept);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find((dir.path() / "file" / "LogFiles").string()), std::string::npos) << said;
    EXPECT_NE(said.find("Not a directory"), std::string::npos) << said;
}

TEST(StatePlaces, OnlyAFolderOfTheUsersOwnThatNoOtherMayWriteIsPortable) {
    TempDir dir;
    const std::string folder = dir.folder();
    ::chmod(folder.c_str(), 0755);
    EXPECT_TRUE(StatePlaces::IsPortableFolder(folder));
    // A folder the PC's users share: the log and photo go to the user's own places.
    for (const mode_t shared : {0777, 0775, 01777}) {
        ::chmod(folder.c_str(), shared);
        EXPECT_FALSE(StatePlaces::IsPortableFolder(folder)) << std::oct << shared;
    }
    ::chmod(folder.c_str(), 0700);
    EXPECT_TRUE(StatePlaces::IsPortableFolder(folder));
    if (::geteuid() == 0) {
        // Another user's folder, even one root may write.
        ASSERT_EQ(::chown(folder.c_str(), 4242, 4242), 0);
        EXPECT_FALSE(StatePlaces::IsPortableFolder(folder));
    }
    EXPECT_FALSE(StatePlaces::IsPortableFolder(""));
    EXPECT_FALSE(StatePlaces::IsPortableFolder(folder + "missing/"));
}

TEST(UserPlaces, APrivateFolderIsMadeOrTakenOnlyAsTheUsersOwn) {
    testsupport::TempDir dir;
    const std::string made = (dir.path() / "made").string();
    ASSERT_TRUE(UserPlaces::TakePrivateFolder(made + "/"));
    struct stat st {};
    ASSERT_EQ(::lstat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    // One a run before left open to others is tightened.
    ASSERT_EQ(::chmod(made.c_str(), 0755), 0);
    ASSERT_TRUE(UserPlaces::TakePrivateFolder(made));
    ASSERT_EQ(::lstat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    // A link, even to the user's own folder, and a file are not taken.
    const std::string link = (dir.path() / "link").string();
    ASSERT_EQ(::symlink(made.c_str(), link.c_str()), 0);
    EXPECT_FALSE(UserPlaces::TakePrivateFolder(link));
    EXPECT_EQ(errno, ELOOP);
    const std::string file = (dir.path() / "file").string();
    testsupport::WriteAll(dir.path() / "file", "x");
    EXPECT_FALSE(UserPlaces::TakePrivateFolder(file));
    EXPECT_EQ(errno, ENOTDIR);
    // Without a parent, the system's reason.
    EXPECT_FALSE(UserPlaces::TakePrivateFolder((dir.path() / "no" / "such").string()));
    EXPECT_EQ(errno, ENOENT);
}

TEST(UserPlaces, TheHomeIsHomeElseTheUsersEntry) {
    const char* saved = std::getenv("HOME");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("HOME", "/somewhere/else", 1);
    EXPECT_EQ(UserPlaces::Home(), "/somewhere/else");
    ::setenv("HOME", "", 1);
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(UserPlaces::Home(), entry->pw_dir);
    ::unsetenv("HOME");
    EXPECT_EQ(UserPlaces::Home(), entry->pw_dir);
    if (saved != nullptr) {
        ::setenv("HOME", before.c_str(), 1);
    }
}
