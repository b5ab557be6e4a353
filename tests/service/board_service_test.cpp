// The board service against the scripted serial platform: content arrives
// as the picture library makes it, refused content writes nothing, a
// notification gives the board back, and what the service tells (status,
// the board now, its observers) is what went out.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <condition_variable>
#include <mutex>

#include "fake_serial_platform.h"
#include "picture/convert.h"
#include "picture_gui.h"
#include "service/board_service.h"
#include "service/decode_budget.h"
#include "show/show_model.h"
#include "test_kit.h"

namespace tablica::service {
namespace {

using namespace std::chrono_literals;

class ServiceOnFake : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsurePictureGui(); }
  void SetUp() override {
    auto session = std::make_unique<BoardSession>(platform_);
    session->OpenFromSettings("brak-pliku.txt", 7);
    service_ = std::make_unique<BoardService>(
        std::move(session), ServiceSetup{"hala", "9.9.9", [this](const std::string& line) {
                                           std::lock_guard lock(mutex_);
                                           log_.push_back(line);
                                         }});
    service_->AddFrameObserver([this](const FrameEvent& frame) {
      std::lock_guard lock(mutex_);
      frames_.push_back(frame);
      heard_.notify_all();
    });
  }

  // The service goes first: its last frame still reaches the observer.
  void TearDown() override { service_.reset(); }

  // Waits until `count` frames were written (or fails after a while).
  std::vector<FrameEvent> Frames(std::size_t count) {
    std::unique_lock lock(mutex_);
    heard_.wait_for(lock, 10s, [&] { return frames_.size() >= count; });
    return frames_;
  }
  // Ends the service (the frame in flight is finished) and gives what went
  // out on the wire.
  std::vector<std::uint8_t> StopAndWire() {
    service_.reset();
    return platform_.wire;
  }

  testing::FakeSerialPlatform platform_;
  std::unique_ptr<BoardService> service_;
  std::mutex mutex_;
  std::condition_variable heard_;
  std::vector<FrameEvent> frames_;
  std::vector<std::string> log_;
};

BoardDots Text(std::vector<std::string> lines) {
  picture::ConvertOptions options;
  options.text = std::move(lines);
  const picture::DotsResult made = picture::RenderText(options);
  EXPECT_TRUE(made.Ok()) << made.error;
  return made.dots;
}

TEST_F(ServiceOnFake, TextGoesOutAsTheLibraryDrawsIt) {
  ContentResult content = service_->JsonContent(R"({"text": ["Peron 3", "odjazd 12:45"]})");
  ASSERT_TRUE(content.content) << content.error;
  EXPECT_EQ(content.content->Kind(), "text");
  const BoardDots expected = Text({"Peron 3", "odjazd 12:45"});
  EXPECT_EQ(content.content->FirstDots(), expected);
  service_->Play(std::move(*content.content));

  const std::vector<FrameEvent> frames = Frames(1);
  ASSERT_GE(frames.size(), 1U);
  EXPECT_TRUE(frames[0].ok);
  EXPECT_EQ(frames[0].first, expected);
  EXPECT_EQ(service_->BoardNow(), expected);
  const ServiceStatus status = service_->Status();
  EXPECT_EQ(status.showing, "text");
  EXPECT_EQ(status.port, 7);
  EXPECT_EQ(status.name, "hala");
  EXPECT_EQ(status.version, "9.9.9");
  EXPECT_GE(status.sends, 1);
  EXPECT_EQ(status.failedSends, 0);
  ASSERT_TRUE(status.lastSend);
  EXPECT_TRUE(status.lastSend->ok);

  // A still page is written once; every frame on the wire is that text.
  const std::vector<std::uint8_t> wire = StopAndWire();
  const std::vector<std::uint8_t> one = testing::ExpectedWire(expected);
  ASSERT_FALSE(wire.empty());
  ASSERT_EQ(wire.size() % one.size(), 0U);
  for (std::size_t at = 0; at < wire.size(); at += one.size()) {
    ASSERT_TRUE(std::equal(one.begin(), one.end(), wire.begin() + static_cast<long>(at))) << at;
  }
}

TEST_F(ServiceOnFake, RefusedContentWritesNothing) {
  struct Refusal {
    std::string json;
    std::string says;  // part of the message
  };
  const std::vector<Refusal> refusals = {
      {"not json", "nie jest poprawnym JSON-em"},
      {"[1, 2]", "obiektem JSON"},
      {R"({"text": ["To jest zdecydowanie za długi tekst dla tablicy"], "size": 16})",
       "Tekst nie mieści się na tablicy"},
      {R"({"text": ["a", "b", "c"]})", "text"},
      {R"({"text": ["", ""]})", "Tekst jest pusty"},
      {R"({"text": ["a"], "colour": "red"})", "Pole „colour” jest nieznane."},
      {R"({"picture": "logo.png"})", "nie może wskazywać plików"},
      {R"({"text": ["a"], "font": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"})",
       "nie może wskazywać plików"},
      {R"({"pages": [{"picture": "/etc/hostname", "seconds": 5}]})", "Strona 1"},
      {R"({"pages": [{"text": ["To jest zdecydowanie za długi tekst dla tablicy"], "size": 16}]})",
       "Strona 1: Tekst nie mieści się"},
      {R"({"pages": [{"text": ["a"], "seconds": 5}, {"animation": "../flaga.gif"}]})", "Strona 2"},
      {R"({"picture": "data:image/png;base64,AAAA"})", ""},
      // Far too wide for the width to be counted in the font's own numbers.
      {R"({"text": [")" + std::string(6'000'000, 'W') + R"("]})", "Tekst nie mieści się"},
  };
  for (const Refusal& refusal : refusals) {
    const ContentResult result = service_->JsonContent(refusal.json);
    EXPECT_FALSE(result.content) << refusal.json;
    EXPECT_FALSE(result.error.empty()) << refusal.json;
    EXPECT_NE(result.error.find(refusal.says), std::string::npos)
        << refusal.json << " -> " << result.error;
  }
  const std::string notPicture = "GIF89a this is not a picture at all";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(notPicture.data());
  const ContentResult picture = service_->PictureContent({bytes, notPicture.size()}, {});
  EXPECT_FALSE(picture.content);
  EXPECT_EQ(picture.error.find("„picture”"), std::string::npos) << picture.error;
  EXPECT_FALSE(service_->PictureContent({}, {}).content);
  EXPECT_FALSE(service_->TextContent({}).content);
  EXPECT_FALSE(service_->TextContent({"1", "2", "3"}).content);

  EXPECT_EQ(service_->Status().sends, 0);
  EXPECT_EQ(service_->Status().showing, "blank");
  EXPECT_FALSE(service_->Status().lastSend);
  EXPECT_TRUE(StopAndWire().empty());
}

// A GIF declaring `frames` frames of `w` × `h`, each coded as a clear code
// and an end (no pixel at all): only its walk knows what it would cost.
std::string DeclaredGif(int w, int h, int frames) {
  const auto le = [](int v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
  std::string gif = "GIF89a" + le(w) + le(h) + std::string("\x80\0\0\0\0\0\xff\xff\xff", 9);
  for (int i = 0; i < frames; ++i) {
    gif += "\x2c" + le(0) + le(0) + le(w) + le(h) + std::string("\0\x02\x01\x2c\0", 5);
  }
  return gif + "\x3b";
}

// What a request's pictures would cost is counted before any is decoded:
// a picture's first frame, every frame of an animation, in zones and on
// the second board; beyond a gigapixel the request is refused whole.
TEST_F(ServiceOnFake, PicturesAreCountedBeforeTheyAreRead) {
  const auto content = [](show::ContentKind kind, const std::string& gif) {
    show::ContentModel model;
    model.kind = kind;
    model.picture.data = gif;
    return model;
  };
  const std::string gif = DeclaredGif(100, 50, 3);
  show::ContentModel zones;
  zones.kind = show::ContentKind::Zones;
  zones.zones = {{0, 0, 64, 32, content(show::ContentKind::Animation, gif)},
                 {64, 0, 64, 32, content(show::ContentKind::Text, "")}};
  const struct {
    show::ContentModel first;
    std::optional<show::ContentModel> second;
    std::int64_t pixels, largestFrame;
  } cases[] = {
      {content(show::ContentKind::Picture, gif), std::nullopt, 5000, 5000},
      {content(show::ContentKind::Animation, gif), std::nullopt, 15000, 5000},
      {zones, content(show::ContentKind::Picture, DeclaredGif(200, 100, 1)), 35000, 20000},
      {content(show::ContentKind::Animation, "GIF89a, ale nie obraz"), std::nullopt, 0, 0},
  };
  for (const auto& c : cases) {
    show::ShowModel model;
    model.pages.emplace_back().first = c.first;
    model.pages.back().second = c.second;
    const DecodeCost cost = CostOf(model);
    EXPECT_EQ(cost.pixels, c.pixels);
    EXPECT_EQ(cost.largestFrame, c.largestFrame);
  }
  const QByteArray bomb = QByteArray::fromStdString(DeclaredGif(4000, 4000, 63)).toBase64();
  const ContentResult refused = service_->JsonContent(R"({"animation": "data:image/gif;base64,)" +
                                                      bomb.toStdString() + "\"}");
  EXPECT_FALSE(refused.content);
  EXPECT_TRUE(refused.tooLarge);
  EXPECT_NE(refused.error.find("1 008 megapikseli"), std::string::npos) << refused.error;
}

TEST_F(ServiceOnFake, PictureTakesTheConvertersOptions) {
  QImage image(300, 90, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int x = 0; x < 300; x += 7) {
    for (int y = 0; y < 90; ++y) image.setPixel(x, y, qRgb(x % 256, 40, 200 - y));
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "PNG"));
  picture::ConvertOptions options;
  options.placement = picture::Placement::Fill;
  options.dots = picture::DotsMethod::Diffusion;
  options.lit = picture::LitSide::Bright;
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(png.constData()),
                        static_cast<std::size_t>(png.size()));
  const picture::DotsResult expected = picture::ConvertPictureData(bytes, "obraz", options);
  ASSERT_TRUE(expected.Ok()) << expected.error;

  ContentResult content = service_->PictureContent(bytes, options);
  ASSERT_TRUE(content.content) << content.error;
  EXPECT_EQ(content.content->Kind(), "picture");
  EXPECT_EQ(content.content->FirstDots(), expected.dots);
  service_->Play(std::move(*content.content));
  EXPECT_EQ(Frames(1).at(0).first, expected.dots);
  EXPECT_EQ(service_->Status().showing, "picture");
}

TEST_F(ServiceOnFake, NotificationGivesTheBoardBack) {
  const BoardDots content = Text({"Treść"});
  const BoardDots notice = Text({"Uwaga!"});
  service_->Play(std::move(*service_->TextContent({"Treść"}).content));
  ASSERT_EQ(Frames(1).size(), 1U);
  service_->Notify(std::move(*service_->TextContent({"Uwaga!"}).content), {{}, 5, 400ms});
  std::vector<FrameEvent> frames = Frames(2);
  ASSERT_GE(frames.size(), 2U);
  EXPECT_EQ(frames[1].first, notice);
  if (frames.size() == 2) {
    EXPECT_EQ(service_->Status().showing, "notification");
  }
  frames = Frames(3);
  ASSERT_GE(frames.size(), 3U);
  EXPECT_EQ(frames[0].first, content);
  EXPECT_EQ(frames[2].first, content);  // the still page is written again
  // The notification's seconds run from the request; its frame may have
  // waited for the one in flight (135 ms on the line).
  EXPECT_GE(frames[2].at - frames[1].at, 400ms - 2 * 135ms);
  EXPECT_LE(frames[2].at - frames[1].at, 400ms + 300ms);
  EXPECT_EQ(service_->Status().showing, "text");

  service_->Blank();
  const std::vector<FrameEvent> blanked = Frames(4);
  ASSERT_GE(blanked.size(), 4U);
  EXPECT_EQ(blanked[3].first, BoardDots());
  EXPECT_EQ(service_->BoardNow(), BoardDots());
  EXPECT_EQ(service_->Status().showing, "blank");
}

// A picture that takes long to read must not come after a text posted
// while it was read, nor after a blank.
TEST_F(ServiceOnFake, ContentOvertakenWhileItWasMadeIsNotShown) {
  ContentResult older = service_->TextContent({"Stare"});
  ContentResult newer = service_->JsonContent(R"({"text": ["Nowe"]})");
  ContentResult beforeBlank = service_->TextContent({"Przed"});
  ASSERT_TRUE(older.content && newer.content && beforeBlank.content);
  EXPECT_TRUE(service_->Play(std::move(*newer.content)));
  EXPECT_FALSE(service_->Play(std::move(*older.content)));
  service_->Blank();
  EXPECT_FALSE(service_->Play(std::move(*beforeBlank.content)));
  EXPECT_EQ(service_->Status().showing, "blank");
  std::lock_guard lock(mutex_);
  EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                          [](const std::string& line) { return line.starts_with("Pominięto"); }),
            2);
}

TEST_F(ServiceOnFake, FailedFrameIsCountedToldAndPlayedAgain) {
  // The line reports an error on the first write: the link gives up on
  // that frame and closes the port; the player pauses and brings it back.
  platform_.QueueFailedWrite(WriteFailure::Other);
  platform_.lineScript.push_back(LineState{.errorMask = 1});
  const BoardDots text = Text({"X"});
  service_->Play(std::move(*service_->TextContent({"X"}).content));
  const std::vector<FrameEvent> frames = Frames(2);
  ASSERT_GE(frames.size(), 2U);
  EXPECT_FALSE(frames[0].ok);
  EXPECT_EQ(frames[0].message, "Wystąpił błąd transmisji.");
  EXPECT_TRUE(frames[1].ok);
  EXPECT_EQ(frames[1].first, text);
  const ServiceStatus status = service_->Status();
  EXPECT_EQ(status.sends, 2);
  EXPECT_EQ(status.failedSends, 1);
  ASSERT_TRUE(status.lastSend);
  EXPECT_TRUE(status.lastSend->ok);
  EXPECT_EQ(service_->BoardNow(), text);
  std::lock_guard lock(mutex_);
  EXPECT_NE(std::find(log_.begin(), log_.end(), "Tablica znów odbiera ramki."), log_.end());
}

}  // namespace
}  // namespace tablica::service
