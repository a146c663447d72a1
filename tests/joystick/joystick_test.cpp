// A virtual SDL controller, driven through SDL and read through the module.
#include <gtest/gtest.h>
#include <zandrel/joystick.hpp>

#include <SDL.h>

using namespace zandrel;

namespace {

class JoystickTest : public testing::Test {
protected:
    void SetUp() override {
        before_ = CountJoysticks();
        SDL_VirtualJoystickDesc pad{};
        pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        pad.type = SDL_JOYSTICK_TYPE_UNKNOWN;
        pad.naxes = 4;
        pad.nbuttons = 12;
        pad.nhats = 1;
        pad.name = "Zandrel Test Pad";
        int device = SDL_JoystickAttachVirtualEx(&pad);
        ASSERT_GE(device, 0) << SDL_GetError();
        instance_ = SDL_JoystickGetDeviceInstanceID(device);
        ASSERT_EQ(CountJoysticks(), before_ + 1);
        pad_ = SDL_JoystickFromInstanceID(instance_);
        ASSERT_TRUE(pad_);
        for (port_ = 0; port_ < before_ && JoystickName(port_) != u"Zandrel Test Pad"; ++port_) {
        }
    }
    void TearDown() override {
        if (pad_) Detach();
    }

    void Detach() {
        for (int device = 0; device < SDL_NumJoysticks(); ++device)
            if (SDL_JoystickGetDeviceInstanceID(device) == instance_)
                SDL_JoystickDetachVirtual(device);
        pad_ = nullptr;
    }

    int before_ = 0;
    int port_ = 0;
    SDL_JoystickID instance_ = -1;
    SDL_Joystick* pad_ = nullptr;
};

TEST_F(JoystickTest, DescribesTheController) {
    EXPECT_EQ(JoystickName(port_), u"Zandrel Test Pad");
    EXPECT_EQ(JoystickButtonMask(port_), 0xFFFu);
    EXPECT_EQ(JoystickAxisMask(port_), 0xFu | JoystickHatBit);
}

TEST_F(JoystickTest, HeldButtonCountsOneHitPerPress) {
    SDL_JoystickSetVirtualButton(pad_, 3, SDL_PRESSED);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(IsJoyButtonDown(3, port_));
    EXPECT_FALSE(IsJoyButtonDown(2, port_));
    SDL_JoystickSetVirtualButton(pad_, 3, SDL_RELEASED);
    EXPECT_FALSE(IsJoyButtonDown(3, port_));
    SDL_JoystickSetVirtualButton(pad_, 3, SDL_PRESSED);
    EXPECT_EQ(TakeJoyButtonHits(3, port_), 2);
    EXPECT_EQ(TakeJoyButtonHits(3, port_), 0);
}

TEST_F(JoystickTest, AxesSpanMinusOneToOne) {
    struct Case {
        int axis;
        Sint16 position;
        float (*read)(int);
        float expected;
    };
    const Case cases[] = {
        {0, -32768, JoyAxisX, -1.0f}, {0, 32767, JoyAxisX, 1.0f}, {1, -32768, JoyAxisY, -1.0f},
        {2, 32767, JoyAxisZ, 1.0f},   {3, 0, JoyAxisR, 0.0f},
    };
    for (auto& c : cases) {
        SDL_JoystickSetVirtualAxis(pad_, c.axis, c.position);
        EXPECT_NEAR(c.read(port_), c.expected, 1e-4f) << c.axis << " at " << c.position;
    }
}

TEST_F(JoystickTest, HatTurnsClockwiseFromNorth) {
    const std::pair<Uint8, float> cases[] = {{SDL_HAT_CENTERED, -1.0f},
                                             {SDL_HAT_UP, 0.0f},
                                             {SDL_HAT_RIGHT, 0.25f},
                                             {SDL_HAT_DOWN, 0.5f},
                                             {SDL_HAT_LEFTUP, 0.875f}};
    for (auto [hat, expected] : cases) {
        SDL_JoystickSetVirtualHat(pad_, 0, hat);
        EXPECT_FLOAT_EQ(JoyAxisHat(port_), expected) << int(hat);
    }
}

TEST_F(JoystickTest, UnreportedAxesReadZero) {
    for (int axis = 0; axis < 4; ++axis)
        SDL_JoystickSetVirtualAxis(pad_, axis, 32767);
    for (auto read : {JoyAxisU, JoyAxisV, JoyAxisYaw, JoyAxisPitch, JoyAxisRoll, JoyAxisWheel})
        EXPECT_EQ(read(port_), 0.0f);
}

TEST_F(JoystickTest, OutsideTheTablesAnswersZero) {
    SDL_JoystickSetVirtualButton(pad_, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(pad_, 0, 32767);
    EXPECT_TRUE(IsJoyButtonDown(0, port_));
    const int answers[] = {IsJoyButtonDown(16, port_),
                           IsJoyButtonDown(-1, port_),
                           TakeJoyButtonHits(16, port_),
                           IsJoyButtonDown(0, JoystickPorts),
                           TakeJoyButtonHits(0, -1),
                           IsJoyButtonDown(0, 1000),
                           JoyForceStart(port_, 1.0f),
                           JoyForceStop(port_),
                           JoyForceDirection(port_, 90.0f),
                           JoyForceDuration(port_, 100),
                           JoyCalibrate(port_),
                           JoyLight(port_, 0xFF0000),
                           JoyPlayerIndex(port_)};
    for (int answer : answers)
        EXPECT_EQ(answer, 0);
    EXPECT_EQ(JoyAxisX(JoystickPorts), 0.0f);
    EXPECT_EQ(JoyAxisX(-1), 0.0f);
    EXPECT_EQ(JoystickName(255), u"");
    EXPECT_EQ(JoystickAxisMask(-1), 0u);
}

// Unplugged with a button held: it reads released, and the next count finds
// it gone.
TEST_F(JoystickTest, DetachedControllerReadsReleased) {
    SDL_JoystickSetVirtualButton(pad_, 5, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(pad_, 0, 32767);
    EXPECT_TRUE(IsJoyButtonDown(5, port_));
    Detach();
    EXPECT_FALSE(IsJoyButtonDown(5, port_));
    EXPECT_EQ(JoyAxisX(port_), 0.0f);
    EXPECT_EQ(CountJoysticks(), before_);
}

} // namespace
