#include "zqfirmware/zqSoftUpdate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqFirmwareTestSupport.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimFirmware.h"
#include "zqtest/TempDir.h"

namespace zqfw {
namespace {

using test::FakeStatus;
using test::FormBody;
using test::StringBody;
using test::UploadPiece;

// What a write failure injected into the partial file's writes does: after `budget` more
// bytes, writes fail with `error`.
struct WriteFault {
  bool armed = false;
  size_t budget = 0;
  int error = ENOSPC;
};

class SoftUpdateTest : public testing::Test {
 protected:
  void SetUp() override {
    zqsim::FirmwareReset();
    ASSERT_EQ(zqsim::StorageCommand({"free", "367001600"}), 0);
    Restart();
  }

  // A new process, as far as the upload is concerned: nothing kept in memory.
  void Restart() {
    update_.reset();
    SoftUpdate::Options o;
    o.folder = dir_.path() + "/fwupdate";
    o.card = dir_.path();
    auto fault = fault_;
    o.write = [fault](int fd, const void* bytes, size_t size) -> ssize_t {
      if (!fault->armed) return write(fd, bytes, size);
      if (fault->budget == 0) {
        errno = fault->error;
        return -1;
      }
      const size_t n = std::min(size, fault->budget);
      fault->budget -= n;
      return write(fd, bytes, n);
    };
    update_ = std::make_unique<SoftUpdate>(&status_, o);
  }

  SoftUpdateOutcome Get(const std::optional<std::string>& word, const char* method = "GET") {
    SoftUpdateRequest r;
    r.method = method;
    r.request = word;
    return update_->Handle(r);
  }
  nlohmann::json Json(const SoftUpdateOutcome& o) {
    EXPECT_EQ(o.kind, SoftUpdateOutcome::Kind::kJson);
    return nlohmann::json::parse(o.body, nullptr, false);
  }
  nlohmann::json Request(const std::string& word) { return Json(Get(word)); }
  nlohmann::json Post(BodySource* body, const std::string& type = FormBody::ContentType()) {
    SoftUpdateRequest r;
    r.method = "POST";
    r.content_type = type;
    r.body = body;
    return Json(update_->Handle(r));
  }
  nlohmann::json Piece(const std::string& sha1, const std::string& offset,
                       const std::string& complete, const std::string& data,
                       std::vector<size_t> pieces = {}, size_t fail_at = std::string::npos) {
    StringBody body(UploadPiece(sha1, offset, complete, data), std::move(pieces), fail_at);
    return Post(&body);
  }

  std::string Folder(const std::string& name) const { return dir_.path() + "/fwupdate/" + name; }
  bool Exists(const std::string& name) const {
    struct stat st = {};
    return stat(Folder(name).c_str(), &st) == 0;
  }
  std::string Partial() const { return zqtest::ReadFile(Folder("firmware.partial")); }
  std::string Zip() const { return zqtest::ReadFile(Folder("firmware.zip")); }

  static nlohmann::json Answer(int code, const std::string& sha1, uint64_t bytes, bool complete) {
    return {{"status", code},
            {"message", ERR_DESCRIPTIONS[code]},
            {"sha1", sha1},
            {"bytes_complete", bytes},
            {"complete", complete}};
  }
  static nlohmann::json DigestLess(int code) {
    return {{"status", code}, {"message", ERR_DESCRIPTIONS[code]}};
  }

  zqtest::TempDir dir_;
  FakeStatus status_;
  std::shared_ptr<WriteFault> fault_ = std::make_shared<WriteFault>();
  std::unique_ptr<SoftUpdate> update_;
};

TEST(SoftUpdateJson, WritesTheDocumentByteForByte) {
  SoftUpdateAnswer a;
  a.code = kSuResumeOffset;
  EXPECT_EQ(SoftUpdateJson(a),
            "{\n    \"status\":8,\n    \"message\":\"File did not resume at the expected "
            "byte\"\n}\n");
  a.code = kSuOk;
  a.digest_less = false;
  a.sha1 = "";
  a.bytes_complete = 5000000000;
  a.complete = true;
  EXPECT_EQ(SoftUpdateJson(a),
            "{\n    \"status\":0,\n    \"message\":\"OK\",\n    \"sha1\":\"\",\n"
            "    \"bytes_complete\":5000000000,\n    \"complete\":true\n}\n");
}

TEST_F(SoftUpdateTest, AGetWithoutRequestAnswersTheForm) {
  for (const char* method : {"get", "HEAD"}) {
    const SoftUpdateOutcome o = Get(std::nullopt, method);
    EXPECT_EQ(o.kind, SoftUpdateOutcome::Kind::kHtml);
    EXPECT_EQ(o.body, SoftUpdateForm());
  }
}

TEST_F(SoftUpdateTest, PiecesAppendVerifyAndStart) {
  const std::string package = test::PackageBytes(700000, 1);
  const std::string sha1 = zq_sha1_hex(package);
  const std::string first = package.substr(0, 300000);
  EXPECT_EQ(Piece(sha1, "0", "false", first), Answer(0, sha1, first.size(), false));
  EXPECT_EQ(zqtest::ReadFile(Folder("fstatus")), sha1 + "\n");
  EXPECT_EQ(Partial(), first);
  EXPECT_EQ(Request("progress"), Answer(0, sha1, first.size(), false));

  // A piece at the wrong offset stores nothing.
  EXPECT_EQ(Piece(sha1, "299999", "false", package.substr(299999, 10)),
            Answer(8, sha1, first.size(), false));

  EXPECT_EQ(Piece(sha1, "300000", "true", package.substr(300000)),
            Answer(0, sha1, package.size(), true));
  EXPECT_EQ(Zip(), package);
  EXPECT_FALSE(Exists("firmware.partial"));
  EXPECT_EQ(status_.Written(kCsiFwComplete), std::vector<uint32_t>{1});
  // Digested while written: nothing was read back.
  EXPECT_EQ(update_->digest().bytes_read_back(), 0u);
  EXPECT_EQ(zqtest::ReadFile(zq_path(kZqSimStateDir) + "/drop_caches").back(), '\n');

  EXPECT_EQ(Request("start"), Answer(0, sha1, package.size(), true));
  EXPECT_EQ(status_.Written(kCsiOtaState), (std::vector<uint32_t>{kOtaScreen, kOtaStartInstall}));
  EXPECT_EQ(status_.Written(kCsiFwComplete), (std::vector<uint32_t>{1, 0}));
  // The camera installs now (OTA state 11): the upload is left alone.
  EXPECT_EQ(Request("progress"), DigestLess(11));
  EXPECT_EQ(Piece(sha1, "0", "true", package), DigestLess(11));
  EXPECT_EQ(Request("delete"), DigestLess(11));
  EXPECT_EQ(Zip(), package);
}

TEST_F(SoftUpdateTest, RequestsWhileTheCameraInstallsAnswerInProgress) {
  for (uint32_t state : {5u, 10u, 11u, 6u, 0u, 9u}) {
    status_.values[kCsiOtaState] = state;
    const bool installing = state == 5 || state == 10 || state == 11;
    for (const char* word : {"progress", "delete", "start", "showui", "canceled", "bogus"}) {
      EXPECT_EQ(Request(word)["status"] == 11, installing) << state << " " << word;
      status_.values[kCsiOtaState] = state;  // showui and canceled write it
    }
  }
  status_.values[kCsiOtaState] = 0;
  status_.fail_read.insert(kCsiOtaState);  // not knowing is not safe either
  EXPECT_EQ(Request("delete"), DigestLess(11));
}

TEST_F(SoftUpdateTest, DeleteForgetsEverything) {
  const std::string package = test::PackageBytes(1000, 2);
  ASSERT_EQ(Piece(zq_sha1_hex(package), "0", "false", package.substr(0, 600))["status"], 0);
  status_.writes.clear();
  EXPECT_EQ(Request("delete"), Answer(0, "", 0, false));
  EXPECT_EQ(Request("progress"), Answer(0, "", 0, false));
  for (const char* name : {"firmware.partial", "firmware.zip", "fstatus"}) {
    EXPECT_FALSE(Exists(name)) << name;
  }
  EXPECT_EQ(status_.Written(kCsiFwComplete), std::vector<uint32_t>{0});
}

TEST_F(SoftUpdateTest, WordsAndMethodsTheirAnswers) {
  EXPECT_EQ(Request("bogus"), DigestLess(1));
  status_.values[kCsiOtaState] = kOtaScreen;
  EXPECT_EQ(Request("showui"), Answer(0, "", 0, false));
  EXPECT_EQ(status_.Written(kCsiOtaState), (std::vector<uint32_t>{kOtaIdle, kOtaScreen}));
  status_.writes.clear();
  status_.values[kCsiOtaState] = kOtaIdle;
  EXPECT_EQ(Request("showui"), Answer(0, "", 0, false));
  EXPECT_EQ(status_.Written(kCsiOtaState), std::vector<uint32_t>{kOtaScreen});
  EXPECT_EQ(Request("canceled"), DigestLess(0));
  EXPECT_EQ(status_.values[kCsiOtaState], kOtaIdle);

  EXPECT_EQ(Get("progress", "DELETE").kind, SoftUpdateOutcome::Kind::kMethodNotAllowed);
  StringBody text("request=progress");
  EXPECT_EQ(Post(&text, "text/plain"), DigestLess(6));
  StringBody no_boundary(UploadPiece("a", "0", "false", "x"));
  EXPECT_EQ(Post(&no_boundary, "multipart/form-data"), DigestLess(5));
}

TEST_F(SoftUpdateTest, FormEncodedPostsCarryTheRequestWord) {
  const std::string form = "application/x-www-form-urlencoded";
  struct Case {
    std::string body;
    size_t fail_at;
    nlohmann::json answer;
  };
  const Case cases[] = {
      {"x=1&request=prog%72ess", std::string::npos, Answer(0, "", 0, false)},
      {"request=whatever", std::string::npos, DigestLess(1)},
      {"nothing=here", std::string::npos, DigestLess(2)},
      {"request=progress&pad=" + std::string(5000, 'x'), std::string::npos, DigestLess(2)},
  };
  for (const Case& c : cases) {
    StringBody body(c.body, {3}, c.fail_at);
    EXPECT_EQ(Post(&body, form + "; charset=UTF-8"), c.answer) << c.body;
  }
}

TEST_F(SoftUpdateTest, DigestsMustBeUsable) {
  // A new upload needs a digest it can be checked against; nothing is stored without one.
  const std::string data = "0123456789";
  const std::string upper = "0123456789ABCDEF0123456789ABCDEF01234567";
  const std::pair<std::string, nlohmann::json> cases[] = {
      {"", Answer(9, "", 0, false)},
      {"abc", Answer(3, "", 0, false)},
      {std::string(40, 'g'), Answer(3, "", 0, false)},
  };
  for (const auto& [sha1, answer] : cases) {
    EXPECT_EQ(Piece(sha1, "0", "false", data), answer) << sha1;
    EXPECT_FALSE(Exists("firmware.partial")) << sha1;
    EXPECT_FALSE(Exists("fstatus")) << sha1;
  }
  // Upper-case hex digits are the same digest.
  EXPECT_EQ(Piece(upper, "0", "false", data), Answer(0, test::Lower(upper), 10, false));
  EXPECT_EQ(Piece(test::Lower(upper), "10", "false", data),
            Answer(0, test::Lower(upper), 20, false));
}

TEST_F(SoftUpdateTest, AMismatchingPackageIsDeleted) {
  const std::string package = test::PackageBytes(5000, 4);
  const std::string sha1 = zq_sha1_hex(package + "x");
  ASSERT_EQ(Piece(sha1, "0", "false", package.substr(0, 2000))["status"], 0);
  EXPECT_EQ(Piece(sha1, "2000", "true", package.substr(2000)), DigestLess(4));
  for (const char* name : {"firmware.partial", "firmware.zip", "fstatus"}) {
    EXPECT_FALSE(Exists(name)) << name;
  }
  EXPECT_EQ(status_.Written(kCsiFwComplete), std::vector<uint32_t>{0});
  EXPECT_EQ(Request("progress"), Answer(0, "", 0, false));
}

// The answer to the last piece was lost: the app sends it again, now at a stale offset. The
// package is whole, so it is verified all the same.
TEST_F(SoftUpdateTest, ARepeatedLastPieceStillCompletes) {
  const std::string package = test::PackageBytes(4000, 5);
  const std::string sha1 = zq_sha1_hex(package);
  ASSERT_EQ(Piece(sha1, "0", "false", package)["status"], 0);
  EXPECT_EQ(Piece(sha1, "1000", "true", package.substr(1000)), Answer(8, sha1, 4000, false));
  EXPECT_EQ(Zip(), package);
  EXPECT_EQ(Request("progress"), Answer(0, sha1, 4000, true));
  // Again, now that it is verified: answered, not stored.
  EXPECT_EQ(Piece(sha1, "4000", "true", "more"), Answer(0, sha1, 4000, true));
  EXPECT_FALSE(Exists("firmware.partial"));
  EXPECT_EQ(Zip(), package);
}

TEST_F(SoftUpdateTest, AnotherDigestNeverTouchesTheUpload) {
  const std::string package = test::PackageBytes(4000, 6);
  const std::string sha1 = zq_sha1_hex(package);
  ASSERT_EQ(Piece(sha1, "0", "false", package.substr(0, 1000))["status"], 0);
  const std::string other = zq_sha1_hex("other");
  EXPECT_EQ(Piece(other, "1000", "true", package.substr(1000)), Answer(3, sha1, 1000, false));
  EXPECT_EQ(Piece(other, "-1", "true", ""), Answer(3, sha1, 1000, false));
  EXPECT_EQ(Partial(), package.substr(0, 1000));
  EXPECT_EQ(zqtest::ReadFile(Folder("fstatus")), sha1 + "\n");
  // The right digest with offset -1 and complete asks for verification where it stands.
  EXPECT_EQ(Piece(sha1, "-1", "true", ""), DigestLess(4));
}

TEST_F(SoftUpdateTest, ARestartedDaemonResumesWhereTheFileEnds) {
  const std::string package = test::PackageBytes(600000, 8);
  const std::string sha1 = zq_sha1_hex(package);
  ASSERT_EQ(Piece(sha1, "0", "false", package.substr(0, 400000))["status"], 0);
  Restart();
  // The first request finds an upload this process has not seen: its digest is read back
  // in the background, not when the last piece arrives.
  EXPECT_EQ(Request("progress"), Answer(0, sha1, 400000, false));
  update_->digest().WaitIdle();
  EXPECT_EQ(update_->digest().bytes_read_back(), 400000u);
  EXPECT_EQ(Piece(sha1, "400000", "true", package.substr(400000)),
            Answer(0, sha1, package.size(), true));
  EXPECT_EQ(update_->digest().bytes_read_back(), 400000u);
  EXPECT_EQ(Zip(), package);
}

TEST_F(SoftUpdateTest, TheFlagFollowsTheFolderAtStart) {
  const std::string package = test::PackageBytes(3000, 9);
  const std::string sha1 = zq_sha1_hex(package);
  ASSERT_EQ(Piece(sha1, "0", "true", package)["status"], 0);
  // The camera restarted: status 44 is 0 again, but the verified package waits.
  status_.values[kCsiFwComplete] = 0;
  status_.writes.clear();
  Restart();
  EXPECT_EQ(Request("progress"), Answer(0, sha1, 3000, true));
  EXPECT_EQ(status_.Written(kCsiFwComplete), std::vector<uint32_t>{1});
  // A flag without its package is cleared.
  Request("delete");
  status_.values[kCsiFwComplete] = 1;
  status_.writes.clear();
  Restart();
  EXPECT_EQ(Request("start"), Answer(10, "", 0, false));
  EXPECT_EQ(status_.Written(kCsiFwComplete), std::vector<uint32_t>{0});
}

TEST_F(SoftUpdateTest, LeftOversMakeWayForANewUpload) {
  zqtest::WriteFile(Folder("firmware.partial"), "stale bytes");
  zqtest::WriteFile(Folder("firmware.zip"), "stale package");
  zqtest::WriteFile(Folder("fstatus"), "not a digest\n");
  EXPECT_EQ(Request("progress"), Answer(0, "", 13, false));
  const std::string package = test::PackageBytes(500, 10);
  EXPECT_EQ(Piece(zq_sha1_hex(package), "0", "true", package),
            Answer(0, zq_sha1_hex(package), 500, true));
  EXPECT_EQ(Zip(), package);
}

TEST_F(SoftUpdateTest, AStartTheCameraMissedCanBeRepeated) {
  const std::string package = test::PackageBytes(300, 11);
  ASSERT_EQ(Piece(zq_sha1_hex(package), "0", "true", package)["status"], 0);
  status_.fail_write.insert(kCsiOtaState);
  EXPECT_EQ(Request("start")["status"], 0);
  status_.fail_write.clear();
  EXPECT_EQ(Request("progress")["complete"], true);
  EXPECT_EQ(Request("start"), Answer(0, zq_sha1_hex(package), 300, true));
  EXPECT_EQ(status_.values[kCsiFwComplete], 0u);
}

TEST_F(SoftUpdateTest, AFullCardKeepsWhatWasWrittenForALaterResume) {
  const std::string package = test::PackageBytes(900000, 12);
  const std::string sha1 = zq_sha1_hex(package);
  fault_->armed = true;
  fault_->budget = 300001;  // inside the second buffer of the piece
  EXPECT_EQ(Piece(sha1, "0", "false", package.substr(0, 600000)), Answer(12, sha1, 300001, false));
  EXPECT_EQ(Partial(), package.substr(0, 300001));
  // Room again: the app asks where it stands and goes on from there.
  fault_->armed = false;
  EXPECT_EQ(Request("progress"), Answer(0, sha1, 300001, false));
  EXPECT_EQ(Piece(sha1, "300001", "true", package.substr(300001)),
            Answer(0, sha1, package.size(), true));
  EXPECT_EQ(Zip(), package);

  // Other write failures answer code 6.
  Request("delete");
  fault_->armed = true;
  fault_->budget = 10;
  fault_->error = EIO;
  EXPECT_EQ(Piece(sha1, "0", "false", package.substr(0, 100)), Answer(6, sha1, 10, false));
  // A new upload that cannot even be announced stores nothing.
  Request("delete");
  fault_->armed = false;
  ASSERT_EQ(mkdir(Folder("fstatus.tmp").c_str(), 0700), 0);
  EXPECT_EQ(Piece(sha1, "0", "false", "abc"), Answer(6, "", 0, false));
  EXPECT_FALSE(Exists("firmware.partial"));
  EXPECT_FALSE(Exists("fstatus"));
}

// While a request is served, others are told the server is busy; a cancel still gets through.
TEST_F(SoftUpdateTest, ConcurrentRequestsAreRefusedButCancelPasses) {
  class GatedBody final : public BodySource {
   public:
    explicit GatedBody(std::string bytes) : inner_(std::move(bytes)) {}
    ssize_t Read(char* buffer, size_t size) override {
      {
        std::unique_lock<std::mutex> lock(mu_);
        entered_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
      }
      return inner_.Read(buffer, size);
    }
    void WaitEntered() {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return entered_; });
    }
    void Open() {
      std::lock_guard<std::mutex> lock(mu_);
      open_ = true;
      cv_.notify_all();
    }

   private:
    StringBody inner_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool entered_ = false;
    bool open_ = false;
  };
  const std::string package = test::PackageBytes(100, 13);
  GatedBody body(UploadPiece(zq_sha1_hex(package), "0", "false", package));
  nlohmann::json first;
  std::thread poster([&] { first = Post(&body); });
  body.WaitEntered();
  status_.values[kCsiOtaState] = kOtaScreen;
  EXPECT_EQ(Request("progress"), DigestLess(7));
  EXPECT_EQ(Request("delete"), DigestLess(7));
  EXPECT_EQ(Request("canceled"), DigestLess(0));
  EXPECT_EQ(status_.values[kCsiOtaState], kOtaIdle);
  body.Open();
  poster.join();
  EXPECT_EQ(first, Answer(0, zq_sha1_hex(package), 100, false));
}

}  // namespace
}  // namespace zqfw
