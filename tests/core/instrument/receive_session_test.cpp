#include "instrument/receive_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument/image_decoding.h"

using namespace zond::instrument;

namespace {

// Records every request of the session as one readable line.
class RecordingHost : public ReceiveHost {
  public:
    std::vector<std::string> events;
    ReceiveDisplay shown;
    std::vector<std::string> messages;
    int result = 0;

    void selectPort(std::string_view name) override {
        events.push_back("port " + std::string(name));
    }
    void connectPort() override { events.push_back("connect"); }
    void disconnectPort() override { events.push_back("disconnect"); }
    void send(char c) override { events.push_back(std::string("send ") + c); }
    void armResponseTimer(int ms) override { events.push_back("arm " + std::to_string(ms)); }
    void disarmResponseTimer() override { events.push_back("disarm"); }
    void showDisplay(const ReceiveDisplay& display) override { shown = display; }
    void showMessage(const ReceiveMessage& m) override {
        messages.push_back(std::string(m.caption) + ": " + std::string(m.text));
        events.push_back("message");
    }
    void finish(int r) override {
        result = r;
        events.push_back("finish " + std::to_string(r));
    }

    bool saw(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    // Index of the first occurrence, or -1.
    int indexOf(const std::string& event) const {
        const auto it = std::find(events.begin(), events.end(), event);
        return it == events.end() ? -1 : static_cast<int>(it - events.begin());
    }
};

// One byte on the wire: two characters '0' + nibble, the low nibble first.
std::string enc(unsigned value) {
    return {static_cast<char>('0' + (value & 15)), static_cast<char>('0' + (value >> 4))};
}

std::string header(unsigned type, char generation, unsigned v1, unsigned v2, unsigned v3,
                   unsigned s1, unsigned s2, unsigned s3) {
    return enc(type) + generation + enc(v1) + enc(v2) + enc(v3) + "0" + enc(s1) + enc(s2) + enc(s3);
}

const std::string kGoodHeader = header(5, '5', 9, 8, 18, 1, 0, 0);

class ReceiveSessionTest : public ::testing::Test {
  protected:
    RecordingHost host;
    ReceiveSession session{host};

    void feed(const std::string& text) {
        session.receive({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    // Past the header: the session has sent 'N'; events start afresh.
    void identify() {
        session.start();
        feed(kGoodHeader);
        ASSERT_TRUE(host.saw("send N"));
        host.events.clear();
    }
};

TEST_F(ReceiveSessionTest, ShowingStartsIdentificationOnTheFirstPort) {
    session.start();
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"port \\\\.\\COM1", "connect", "send V", "arm 3000"}));
    EXPECT_EQ(host.shown.status, "Ожидание готовности прибора ...");
    EXPECT_EQ(host.shown.progress, 0);
    EXPECT_TRUE(host.shown.instrumentCaption.empty());
}

TEST_F(ReceiveSessionTest, AcceptedHeaderFillsDeviceInfoAndRequestsData) {
    session.start();
    host.events.clear();
    feed(header(5, '5', 9, 8, 18, 1, 0, 3));
    const DeviceInfo& info = session.deviceInfo();
    EXPECT_EQ(info.instrumentType, 5);
    EXPECT_EQ(info.generation, 5);
    EXPECT_EQ(info.versionText, "18.08.09");
    EXPECT_EQ(info.versionNumberText, "090818");
    EXPECT_EQ(info.firmwareFlag, '9' >> 1);
    EXPECT_EQ(info.sensorCodes, (std::array<std::uint8_t, 3>{1, 0, 3}));
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(host.shown.instrumentCaption, "ЗОНД-8Т \"Тавис\" - трехканальный");
    EXPECT_EQ(host.shown.versionText, "18.08.09");
    EXPECT_EQ(host.shown.status, "Идет прием информации ...");
    // The response timer keeps running until 'S'.
    EXPECT_EQ(host.events, std::vector<std::string>{"send N"});
}

TEST_F(ReceiveSessionTest, OneSensorMakesASingleChannelInstrument) {
    session.start();
    feed(header(5, '5', 1, 2, 3, 1, 0, 0));
    EXPECT_EQ(host.shown.instrumentCaption, "ЗОНД-8Т \"Тавис\" - одноканальный");
    EXPECT_EQ(session.deviceInfo().channelCount, 1);
    EXPECT_EQ(session.deviceInfo().versionText, "03.02.01");
    EXPECT_EQ(session.deviceInfo().versionNumberText, "010203");
}

TEST_F(ReceiveSessionTest, HeaderIsTheLastSixteenCharactersReceived) {
    session.start();
    feed("#####");  // noise in its own block
    feed("!!" + kGoodHeader);
    EXPECT_TRUE(host.saw("send N"));
    EXPECT_EQ(session.deviceInfo().versionText, "18.08.09");
}

TEST_F(ReceiveSessionTest, WrongInstrumentIsRefusedAfterTheMessage) {
    session.start();
    host.events.clear();
    feed("05" + kGoodHeader.substr(2));  // type 80
    EXPECT_EQ(host.messages, std::vector<std::string>{"Error: Вы подключили не тот прибор !"});
    EXPECT_LT(host.indexOf("disarm"), host.indexOf("message"));
    EXPECT_LT(host.indexOf("message"), host.indexOf("disconnect"));
    EXPECT_EQ(host.events.back(), "finish 2");
    EXPECT_FALSE(host.saw("send N"));

    RecordingHost other;
    ReceiveSession second(other);
    second.start();
    const std::string generation4 = header(5, '4', 9, 8, 18, 1, 0, 0);
    second.receive({reinterpret_cast<const std::uint8_t*>(generation4.data()), 16});
    EXPECT_EQ(other.result, 2);
}

TEST_F(ReceiveSessionTest, UndecodableHeaderKeepsIdentifying) {
    session.start();
    host.events.clear();
    std::string bad = kGoodHeader;
    bad[4] = '~';  // high nibble of V1 far out of range
    EXPECT_THROW(feed(bad), RangeCheckError);
    EXPECT_TRUE(host.events.empty());  // timer runs on, port stays open
    EXPECT_TRUE(session.portOpen());
    feed(kGoodHeader);  // a later block brings a good header
    EXPECT_TRUE(host.saw("send N"));
}

TEST_F(ReceiveSessionTest, RecordCountIsReadLowNibbleFirst) {
    const std::pair<const char*, const char*> cases[] = {
        {"S1000", "1"}, {"S0100", "16"}, {"S0010", "256"}, {"S????", "65535"}};
    for (const auto& [block, expected] : cases) {
        RecordingHost h;
        ReceiveSession s(h);
        s.start();
        s.receive({reinterpret_cast<const std::uint8_t*>(kGoodHeader.data()), 16});
        s.receive({reinterpret_cast<const std::uint8_t*>(block), 5});
        EXPECT_EQ(h.shown.recordCountText, expected) << block;
    }
    identify();
    EXPECT_THROW(feed("S00 0"), RangeCheckError);  // ' ' as a high nibble lies below the digits
}

TEST_F(ReceiveSessionTest, CharactersBeforeTheBlockStartWaitForTheWholeCount) {
    identify();
    feed("xyzS10");  // six characters, but only two of the count
    EXPECT_TRUE(host.shown.recordCountText.empty());
    feed("00");
    EXPECT_EQ(host.shown.recordCountText, "1");
}

TEST_F(ReceiveSessionTest, ZeroRecordsGiveTheTwoByteImage) {
    identify();
    feed("S0000");
    feed("P");
    EXPECT_EQ(host.shown.progress, 100);
    EXPECT_EQ(host.result, 1);
    EXPECT_LT(host.indexOf("disconnect"), host.indexOf("finish 1"));
    const DeviceImage& image = session.deviceImage();
    ASSERT_EQ(image.assembledLength, 2u);
    EXPECT_EQ(image.bytes[0], 0);
    EXPECT_EQ(image.bytes[1], 0);
}

TEST_F(ReceiveSessionTest, WholeBlockInOneCallAssemblesTheImage) {
    identify();
    // Count 2, then 34 bytes 0 ... 33; the last one is 0xFF to see the high nibble.
    std::string block = "S" + enc(2) + enc(0);
    for (unsigned i = 0; i < 33; ++i) {
        block += enc(i);
    }
    block += enc(0xFF) + "P";
    feed(block);
    EXPECT_EQ(host.result, 1);
    EXPECT_EQ(host.shown.recordCountText, "2");
    const DeviceImage& image = session.deviceImage();
    ASSERT_EQ(image.assembledLength, 36u);
    EXPECT_EQ(image.bytes[0], 2);
    EXPECT_EQ(image.bytes[1], 0);
    EXPECT_EQ(image.bytes[2], 0);
    EXPECT_EQ(image.bytes[34], 32);
    EXPECT_EQ(image.bytes[35], 0xFF);
}

TEST_F(ReceiveSessionTest, ProgressFollowsTheRecordCharacters) {
    identify();
    feed("S1000");  // 34 record characters expected
    EXPECT_EQ(host.shown.progress, 0);
    feed(std::string(17, '0'));
    EXPECT_EQ(host.shown.progress, 50);
    feed(std::string(16, '0'));
    EXPECT_EQ(host.shown.progress, 97);
}

TEST_F(ReceiveSessionTest, RestartMidBlockIgnoresTheRestAndIdentifiesAgain) {
    identify();
    feed("S1000" + std::string(10, '1'));
    EXPECT_TRUE(host.saw("disarm"));  // 'S' stops the response timer
    host.events.clear();
    feed("11Z" + std::string(20, '1') + "P");
    EXPECT_EQ(host.events, (std::vector<std::string>{"disarm", "send V"}));
    EXPECT_EQ(host.result, 0);  // the 'P' after 'Z' did not end anything
    host.events.clear();
    feed(kGoodHeader);
    EXPECT_EQ(host.events, std::vector<std::string>{"send N"});
    feed("S1000" + std::string(34, '2') + "P");
    EXPECT_EQ(host.result, 1);
    EXPECT_EQ(session.deviceImage().bytes[2], 0x22);
}

TEST_F(ReceiveSessionTest, SilenceTriesTheSecondPortThenGivesUp) {
    session.start();
    host.events.clear();
    session.responseTimerExpired();
    EXPECT_EQ(host.events, (std::vector<std::string>{"disarm", "disconnect", "port \\\\.\\COM2",
                                                     "connect", "send V", "arm 3000"}));
    EXPECT_EQ(session.portName(), kSecondPort);
    host.events.clear();
    session.responseTimerExpired();
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"Ошибка: Прибор не обнаружен! Проверте правильность "
                                       "подключения согласно инструкции и убедитесь, что прибор "
                                       "находиться в режиме связи с ПК!"});
    EXPECT_EQ(host.indexOf("disconnect"), 1);
    EXPECT_EQ(host.events.back(), "finish 2");
    EXPECT_EQ(session.portName(), kFirstPort);
    EXPECT_FALSE(session.portOpen());
}

TEST_F(ReceiveSessionTest, CancelWhileIdentifyingClosesQuietly) {
    session.start();
    host.events.clear();
    session.cancel();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.saw("disconnect"));
    EXPECT_EQ(host.result, 2);
    EXPECT_FALSE(session.portOpen());
}

TEST_F(ReceiveSessionTest, TooManyCharactersEndTheTransfer) {
    identify();
    feed("S>>>>");  // a count of 61166 records that never end
    const std::string chunk(4096, '1');
    for (int i = 0; i < 64 && host.result == 0; ++i) {
        feed(chunk);
    }
    EXPECT_EQ(host.result, 2);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Ошибка: ", 0), 0u);
    EXPECT_FALSE(session.portOpen());
}

TEST_F(ReceiveSessionTest, BlockLargerThanTheImageIsRefused) {
    identify();
    // 65537 bytes between 'S' and 'P': one more than the image holds.
    feed("S" + std::string(2 * (DeviceImage::kSize + 1), '0') + "P");
    EXPECT_EQ(host.result, 2);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_FALSE(session.portOpen());
}

TEST_F(ReceiveSessionTest, UndecodableDataWaitsForCancelWithThePortClosed) {
    identify();
    const std::string odd = "S1000" + std::string(33, '0') + "P";  // half a byte short
    EXPECT_THROW(feed(odd), RangeCheckError);
    EXPECT_FALSE(session.portOpen());
    EXPECT_TRUE(session.awaitingCancel());
    EXPECT_EQ(host.result, 0);
    session.cancel();
    EXPECT_EQ(host.result, 2);

    RecordingHost h;
    ReceiveSession s(h);
    s.start();
    s.receive({reinterpret_cast<const std::uint8_t*>(kGoodHeader.data()), 16});
    const std::string bad = "S1000" + std::string(32, '0') + "0~P";
    EXPECT_THROW(s.receive({reinterpret_cast<const std::uint8_t*>(bad.data()), bad.size()}),
                 RangeCheckError);
    EXPECT_TRUE(s.awaitingCancel());
}

TEST_F(ReceiveSessionTest, BlockWithoutTheCountWordIsNoImage) {
    identify();
    EXPECT_THROW(feed("S00P"), RangeCheckError);
    EXPECT_EQ(host.result, 0);
}

TEST_F(ReceiveSessionTest, ShowingAgainStartsAfresh) {
    identify();
    feed("S1000" + std::string(34, '3') + "P");
    ASSERT_EQ(host.result, 1);
    host.events.clear();
    session.start();
    EXPECT_EQ(host.events.front(), "port \\\\.\\COM1");
    EXPECT_TRUE(host.shown.recordCountText.empty());
    EXPECT_EQ(host.shown.status, "Ожидание готовности прибора ...");
    feed(kGoodHeader);
    EXPECT_TRUE(host.saw("send N"));
}

}  // namespace
