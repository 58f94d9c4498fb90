#include "zqfirmware/update.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zqFirmwareTestSupport.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimFirmware.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace zqfw {
namespace {

using test::FakeStatus;
using test::FormBody;
using test::StringBody;

class UpdaterTest : public testing::Test {
 protected:
  void SetUp() override {
    zqsim::ResetCamera();
    NewCard();
    // The camera: after two more reads of "install", it reports `outcome_`.
    status_.on_read = [this](int32_t id, uint32_t* value) {
      if (id == kCsiOtaState && *value == kOtaInstall && outcome_ && ++install_reads_ >= 2) {
        *value = *outcome_;
      }
    };
    Make(&status_);
  }

  // An empty card with room for an update, and a daemon that has served nothing.
  void NewCard() {
    zqsim::FirmwareReset();
    ASSERT_EQ(zqsim::StorageCommand({"free", "367001600"}), 0);
    card_ = dir_.path() + "/card" + std::to_string(cards_++);
    ASSERT_EQ(mkdir(card_.c_str(), 0700), 0);
    status_.writes.clear();
    Make(&status_);
  }

  void Make(CameraStatusPort* status) {
    Updater::Options o;
    o.card = card_;
    o.screen_ms = 0;
    o.poll_ms = 1;
    o.install_timeout_ms = 50;
    o.write = [this](int fd, const void* bytes, size_t size) -> ssize_t {
      if (write_error_ != 0) {
        errno = write_error_;
        return -1;
      }
      return write(fd, bytes, size);
    };
    updater_ = std::make_unique<Updater>(status, o);
  }

  UpdateOutcome Get(const std::string& query, const char* method = "GET") {
    UpdateRequest r;
    r.method = method;
    r.query = query;
    r.script_name = "/zq/zqUpdate";
    return updater_->Handle(r);
  }
  UpdateOutcome Post(const std::string& body, const std::string& type = FormBody::ContentType(),
                     size_t fail_at = std::string::npos) {
    StringBody source(body, {7000, 1, 30000}, fail_at);
    UpdateRequest r;
    r.method = "POST";
    r.content_type = type;
    r.body = &source;
    return updater_->Handle(r);
  }
  // The browser's form as the page above sends it.
  static std::string Upload(const std::string& sha1, const std::string& package,
                            const char* direct = "1") {
    return FormBody()
        .Field("DirectToSD", direct)
        .File("file", "firmware.zqu", package)
        .Field("sha1", sha1)
        .Field("update", "Submit")
        .Build();
  }

  std::string Misc(const std::string& name) const { return card_ + "/MISC/" + name; }
  static bool Exists(const std::string& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0;
  }
  std::vector<uint32_t> Ota() const { return status_.Written(kCsiOtaState); }

  zqtest::TempDir dir_;
  std::string card_;
  int cards_ = 0;
  FakeStatus status_;
  std::optional<uint32_t> outcome_ = kOtaInstalled;
  int install_reads_ = 0;
  int write_error_ = 0;
  std::unique_ptr<Updater> updater_;
};

TEST(UpdateDocuments, AreWrittenByteForByte) {
  EXPECT_EQ(UpdateJson(0), "{ \"status\":\"0\" }");
  EXPECT_EQ(UpdateFormError(), "{ \"Status\": \"Error reading form data\"}\r\n");

  EXPECT_EQ(showForm("/x\"><script>"),
            "<HTML><HEAD><TITLE>Tavro Firmware Updater</TITLE></HEAD>\n"
            "<BODY><H1>Upload Firmware</H1>\n"
            "<form method=\"POST\" enctype=\"multipart/form-data\" "
            "\taction=\"/x&quot;&gt;&lt;script&gt;\">\n"
            "<input type=\"hidden\" name=\"DirectToSD\" value=\"1\">"
            "<p>Firmware Package:\n"
            "<input type=\"file\" name=\"file\" value=\"\">"
            "<p>\n"
            "<p>Sha1sum:\n"
            "<input type=\"text\" name=\"sha1\" size=\"50\" value=\"\">"
            "<p>\n"
            "<input type=\"submit\" name=\"update\">"
            "</form>\n"
            "</BODY></HTML>\n");
}

TEST_F(UpdaterTest, AVerifiedPackageIsKeptAndTheCameraDecides) {
  const std::string package = test::PackageBytes(700000, 1);  // several buffers
  const UpdateOutcome ok = Post(Upload(zq_sha1_hex(package), package));
  EXPECT_EQ(ok.kind, UpdateOutcome::Kind::kJson);
  EXPECT_EQ(ok.body, UpdateJson(0));
  EXPECT_EQ(zqtest::ReadFile(Misc("firmware.zqu")), package);
  EXPECT_FALSE(Exists(Misc("firmware.zqu.tmp")));
  EXPECT_EQ(Ota(), (std::vector<uint32_t>{kOtaScreen, kOtaReceived, kOtaInstall}));
  EXPECT_EQ(status_.Written(kCsiFwProgress), std::vector<uint32_t>{100});
  EXPECT_TRUE(Exists(card_ + "/UPDATE"));

  // Any other outcome is a failure; an upper-case digest matches as well.
  outcome_ = 3;
  install_reads_ = 0;
  const std::string other = test::PackageBytes(1000, 2);
  EXPECT_EQ(Post(Upload(test::Upper(zq_sha1_hex(other)), other)).body, UpdateJson(1));
  EXPECT_EQ(zqtest::ReadFile(Misc("firmware.zqu")), other);
}

TEST_F(UpdaterTest, ACameraThatNeverAnswersEndsTheWait) {
  const std::string package = "package";
  outcome_.reset();
  EXPECT_EQ(Post(Upload(zq_sha1_hex(package), package)).body, UpdateJson(1));
  EXPECT_EQ(Ota().back(), kOtaInstall);  // it may still be installing: left alone
  EXPECT_EQ(zqtest::ReadFile(Misc("firmware.zqu")), package);

  // Nor can a camera whose state cannot be read or written any more be waited for.
  status_.fail_read.insert(kCsiOtaState);
  EXPECT_EQ(Post(Upload(zq_sha1_hex(package), package)).body, UpdateJson(1));
  status_.fail_read.clear();
  status_.fail_write.insert(kCsiOtaState);
  EXPECT_EQ(Post(Upload(zq_sha1_hex(package), package)).body, UpdateJson(1));
}

TEST_F(UpdaterTest, TheCardIsCheckedFirst) {
  const std::string package = "package";
  const struct {
    const char* name;
    std::function<void(const std::string& card)> arrange;
    int result;
    std::vector<uint32_t> ota;
  } cases[] = {
      {"no card", [](const std::string& card) { rmdir(card.c_str()); }, 6, {}},
      {"MISC is a file",
       [](const std::string& card) { zqtest::WriteFile(card + "/MISC", ""); },
       7,
       {}},
      {"too little room",
       [](const std::string&) {
         zqsim::StorageCommand({"free", "367001599"});
       },
       1,
       {}},
      {"UPDATE is a file",
       [](const std::string& card) { zqtest::WriteFile(card + "/UPDATE", ""); },
       10,
       {kOtaScreen, kOtaUploadFailed}},
  };
  for (const auto& c : cases) {
    NewCard();
    c.arrange(card_);
    const UpdateOutcome o = Post(Upload(zq_sha1_hex(package), package));
    EXPECT_EQ(o.body, UpdateJson(c.result)) << c.name;
    EXPECT_EQ(Ota(), c.ota) << c.name;
    EXPECT_FALSE(Exists(Misc("firmware.zqu"))) << c.name;
    EXPECT_FALSE(Exists(Misc("firmware.zqu.tmp"))) << c.name;
  }
}

TEST_F(UpdaterTest, SubmissionsWithoutAUsablePackageAreRefused) {
  const std::string package = test::PackageBytes(5000, 4);
  const std::string sha1 = zq_sha1_hex(package);
  const struct {
    const char* name;
    std::string body;
    int result;
    uint32_t ota;
  } cases[] = {
      {"no file part",
       FormBody().Field("DirectToSD", "1").Field("sha1", sha1).Field("update", "").Build(), 4,
       kOtaUploadFailed},
      {"no file name",
       FormBody()
           .Field("DirectToSD", "1")
           .File("file", "", package)
           .Field("sha1", sha1)
           .Field("update", "")
           .Build(),
       4, kOtaUploadFailed},
      {"DirectToSD 2", Upload(sha1, package, "2"), 8, kOtaUploadFailed},
      {"other digest", Upload(zq_sha1_hex("other"), package), 2, kOtaDigestMismatch},
      {"digest prefix", Upload(sha1.substr(0, 39), package), 2, kOtaDigestMismatch},
  };
  for (const auto& c : cases) {
    // A package an earlier request kept goes when another one arrives, kept or not.
    zqtest::WriteFile(Misc("firmware.zqu"), "earlier package");
    status_.writes.clear();
    EXPECT_EQ(Post(c.body).body, UpdateJson(c.result)) << c.name;
    EXPECT_EQ(Ota().back(), c.ota) << c.name;
    EXPECT_EQ(Exists(Misc("firmware.zqu")), c.result == 4) << c.name;
    EXPECT_FALSE(Exists(Misc("firmware.zqu.tmp"))) << c.name;
  }
}

TEST_F(UpdaterTest, FormsAndMethods) {
  const UpdateOutcome form = Get("");
  EXPECT_EQ(form.kind, UpdateOutcome::Kind::kHtml);
  EXPECT_EQ(form.body, showForm("/zq/zqUpdate"));
  EXPECT_EQ(Ota(), std::vector<uint32_t>{kOtaScreen});
  EXPECT_EQ(Get("", "HEAD").kind, UpdateOutcome::Kind::kHtml);
  // A query or form-encoded body can ask to update, but cannot carry a package.
  EXPECT_EQ(Get("update=1&DirectToSD=1").body, UpdateJson(4));
  EXPECT_EQ(Post("DirectToSD=1&update=go", "application/x-www-form-urlencoded").body,
            UpdateJson(4));
  EXPECT_EQ(Post("DirectToSD=1", "application/x-www-form-urlencoded").kind,
            UpdateOutcome::Kind::kHtml);
  EXPECT_EQ(Post("whatever", "text/plain").kind, UpdateOutcome::Kind::kHtml);

  status_.writes.clear();
  EXPECT_EQ(Get("update=1", "PUT").kind, UpdateOutcome::Kind::kMethodNotAllowed);
  EXPECT_TRUE(status_.writes.empty());  // the update screen stays hidden
}

TEST_F(UpdaterTest, UnreadableFormsKeepNothing) {
  const std::string package = test::PackageBytes(600000, 5);
  const std::string body = Upload(zq_sha1_hex(package), package);
  const size_t close = body.rfind("--" + std::string(FormBody::kBoundary) + "--");
  std::vector<size_t> cuts = {0, 300000, close - 3, body.size() - 3};
  for (const size_t cut : cuts) {
    status_.writes.clear();
    const UpdateOutcome o = Post(body, FormBody::ContentType(), cut);
    EXPECT_EQ(o.kind, UpdateOutcome::Kind::kFormError) << cut;
    EXPECT_EQ(o.body, UpdateFormError()) << cut;
    EXPECT_EQ(Ota(), (std::vector<uint32_t>{kOtaScreen, kOtaUploadFailed})) << cut;
    EXPECT_FALSE(Exists(Misc("firmware.zqu"))) << cut;
    EXPECT_FALSE(Exists(Misc("firmware.zqu.tmp"))) << cut;
  }
  EXPECT_EQ(Post(body, "multipart/form-data").kind, UpdateOutcome::Kind::kFormError);
  EXPECT_EQ(Post("update=%zz", "application/x-www-form-urlencoded", 4).kind,
            UpdateOutcome::Kind::kFormError);

  // A card that fails while the package is written.
  write_error_ = EIO;
  EXPECT_EQ(Post(body).kind, UpdateOutcome::Kind::kFormError);
  EXPECT_FALSE(Exists(Misc("firmware.zqu.tmp")));
}

}  // namespace
}  // namespace zqfw
