// A virtual SDL controller, driven through SDL and read through the module.
#include <gtest/gtest.h>
#include <zandrel/joystick.hpp>

#include <SDL.h>

#include <iterator>
#include <string>

using namespace zandrel;

namespace {

class JoystickTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Attach("Zandrel Test Pad", 4, nullptr)); }

    // 12 buttons, one hat and `axes` axes; given SDL's gamepad mapping
    // `layout` (what follows the GUID) unless it is null.
    void Attach(const char* name, int axes, const char* layout) {
        before_ = CountJoysticks();
        SDL_VirtualJoystickDesc pad{};
        pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        pad.type = SDL_JOYSTICK_TYPE_UNKNOWN;
        pad.naxes = static_cast<Uint16>(axes);
        pad.nbuttons = 12;
        pad.nhats = 1;
        pad.name = name;
        int device = SDL_JoystickAttachVirtualEx(&pad);
        ASSERT_GE(device, 0) << SDL_GetError();
        instance_ = SDL_JoystickGetDeviceInstanceID(device);
        if (layout) {
            // SDL matches a mapping to the GUID without its name checksum.
            SDL_JoystickGUID id = SDL_JoystickGetDeviceGUID(device);
            id.data[2] = id.data[3] = 0;
            char guid[33];
            SDL_JoystickGetGUIDString(id, guid, sizeof guid);
            std::string mapping = std::string(guid) + "," + layout;
            ASSERT_GE(SDL_GameControllerAddMapping(mapping.c_str()), 0) << SDL_GetError();
        }
        ASSERT_EQ(CountJoysticks(), before_ + 1);
        pad_ = SDL_JoystickFromInstanceID(instance_);
        ASSERT_TRUE(pad_);
        for (port_ = 0; port_ < before_ && JoystickName(port_) != FromUtf8(name); ++port_) {
        }
    }
    void TearDown() override {
        if (pad_) Detach();
    }

    void HoldEverything(int axes) {
        for (int button = 0; button < 12; ++button)
            SDL_JoystickSetVirtualButton(pad_, button, SDL_PRESSED);
        for (int axis = 0; axis < axes; ++axis)
            SDL_JoystickSetVirtualAxis(pad_, axis, 32767);
        SDL_JoystickSetVirtualHat(pad_, 0, SDL_HAT_UP);
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

// Buttons shuffled, the d-pad on the hat and the right stick's axes swapped,
// so that only reads through the mapping find them.
class GamepadTest : public JoystickTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Attach(
            "Zandrel Mapped Pad", 6,
            "Zandrel Gamepad,a:b2,b:b3,x:b0,y:b1,back:b8,guide:b10,start:b9,leftstick:b6,"
            "rightstick:b7,leftshoulder:b4,rightshoulder:b5,dpup:h0.1,dpright:h0.2,dpdown:h0.4,"
            "dpleft:h0.8,leftx:a0,lefty:a1,rightx:a3,righty:a2,lefttrigger:a4,righttrigger:a5,"));
    }
};

// Each named button is down alone while its control (a raw button, or the
// hat given as minus its direction) is held, and counts one hit per press.
TEST_F(GamepadTest, ButtonsReadByName) {
    EXPECT_TRUE(IsGamepad(port_));
    EXPECT_EQ(GamepadName(port_), u"Zandrel Gamepad");
    const std::pair<PadButton, int> cases[] = {{PadButton::A, 2},
                                               {PadButton::B, 3},
                                               {PadButton::X, 0},
                                               {PadButton::Y, 1},
                                               {PadButton::Back, 8},
                                               {PadButton::Guide, 10},
                                               {PadButton::Start, 9},
                                               {PadButton::LeftStick, 6},
                                               {PadButton::RightStick, 7},
                                               {PadButton::LeftShoulder, 4},
                                               {PadButton::RightShoulder, 5},
                                               {PadButton::DPadUp, -SDL_HAT_UP},
                                               {PadButton::DPadDown, -SDL_HAT_DOWN},
                                               {PadButton::DPadLeft, -SDL_HAT_LEFT},
                                               {PadButton::DPadRight, -SDL_HAT_RIGHT}};
    static_assert(std::size(cases) == PadButtons);
    for (const auto& [button, held] : cases) {
        // Named copies: a lambda may not capture a structured binding in C++20.
        PadButton name = button;
        int control = held;
        auto set = [&](bool down) {
            if (control >= 0)
                SDL_JoystickSetVirtualButton(pad_, control, down);
            else
                SDL_JoystickSetVirtualHat(pad_, 0, static_cast<Uint8>(down ? -control : 0));
        };
        set(true);
        for (int other = 0; other < PadButtons; ++other)
            EXPECT_EQ(IsPadButtonDown(static_cast<PadButton>(other), port_),
                      other == static_cast<int>(name))
                << "holding " << control << ", reading " << other;
        set(false);
        EXPECT_FALSE(IsPadButtonDown(name, port_)) << control;
        set(true);
        EXPECT_EQ(TakePadButtonHits(name, port_), 2) << control;
        EXPECT_EQ(TakePadButtonHits(name, port_), 0) << control;
        set(false);
    }
}

// Sticks span -1..1 with y growing downward; triggers span 0..1, and a
// released one reads exactly 0.
TEST_F(GamepadTest, AxesReadByName) {
    struct Case {
        PadAxis name;
        int axis;
        Sint16 position;
        float expected, tolerance;
    };
    const Case cases[] = {{PadAxis::LeftX, 0, -32768, -1.0f, 1e-4f},
                          {PadAxis::LeftX, 0, 32767, 1.0f, 1e-4f},
                          {PadAxis::LeftY, 1, -32768, -1.0f, 1e-4f},
                          {PadAxis::RightX, 3, 32767, 1.0f, 1e-4f},
                          {PadAxis::RightY, 2, -32768, -1.0f, 1e-4f},
                          {PadAxis::LeftTrigger, 4, -32768, 0.0f, 0.0f},
                          {PadAxis::LeftTrigger, 4, 32767, 1.0f, 1e-4f},
                          {PadAxis::RightTrigger, 5, 0, 0.5f, 1e-3f}};
    for (auto& c : cases) {
        SDL_JoystickSetVirtualAxis(pad_, c.axis, c.position);
        EXPECT_NEAR(PadAxisValue(c.name, port_), c.expected, c.tolerance)
            << static_cast<int>(c.name) << " at " << c.position;
    }
}

// With every control held, a port or name outside the tables answers nothing.
TEST_F(GamepadTest, OutsideTheNamesAnswersZero) {
    HoldEverything(6);
    ASSERT_TRUE(IsPadButtonDown(PadButton::A, port_));
    for (int port : {-1, JoystickPorts})
        EXPECT_FALSE(IsGamepad(port) || IsPadButtonDown(PadButton::A, port) ||
                     PadAxisValue(PadAxis::LeftX, port) != 0.0f || !GamepadName(port).empty());
    for (int name : {-1, PadButtons})
        EXPECT_FALSE(IsPadButtonDown(static_cast<PadButton>(name), port_) ||
                     TakePadButtonHits(static_cast<PadButton>(name), port_) ||
                     PadAxisValue(static_cast<PadAxis>(name), port_) != 0.0f);
}

// A controller without a mapping: every named read refuses, whatever is held.
TEST_F(JoystickTest, WithoutMappingNamedReadsRefuse) {
    HoldEverything(4);
    ASSERT_TRUE(IsJoyButtonDown(0, port_));
    EXPECT_FALSE(IsGamepad(port_));
    EXPECT_EQ(GamepadName(port_), u"");
    for (int name = 0; name < PadButtons; ++name)
        EXPECT_FALSE(IsPadButtonDown(static_cast<PadButton>(name), port_) ||
                     TakePadButtonHits(static_cast<PadButton>(name), port_) ||
                     (name < PadAxes && PadAxisValue(static_cast<PadAxis>(name), port_) != 0.0f))
            << name;
}

} // namespace
