// The device programs' command lines and the Today screen's input scripts,
// parsed directly: what each accepts, and what each says of what it refuses.
#include "Command.h"
#include "HostOptions.h"
#include "InputScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// A command line, and the message its parser refuses it with.
struct Refusal
{
    std::vector<std::wstring> args;
    const wchar_t* error;
};

template <typename Command>
void ExpectRefusals(const std::vector<Refusal>& refusals,
    std::wstring (*parse)(const std::vector<std::wstring>&, Command&))
{
    for (const Refusal& refusal : refusals) {
        Command command;
        EXPECT_EQ(Narrow(refusal.error), Narrow(parse(refusal.args, command)));
    }
}

TEST(TodayCommandLine, SaysWhatItRefuses)
{
    ExpectRefusals<HostOptions>({
        {{L"--time"}, L"--time needs a value"},
        {{L"--time", L"tomorrow"}, L"--time: not a date and time of the form YYYY-MM-DDTHH:MM[:SS]: tomorrow"},
        {{L"--time", L"2026-02-30T10:00"},
            L"--time: not a date and time of the form YYYY-MM-DDTHH:MM[:SS]: 2026-02-30T10:00"},
        {{L"--time", L"2026-12-08T09:41:5"},
            L"--time: not a date and time of the form YYYY-MM-DDTHH:MM[:SS]: 2026-12-08T09:41:5"},
        {{L"--ticks"}, L"--ticks needs a value"},
        {{L"--ticks", L"-1"}, L"--ticks: not a tick count: -1"},
        {{L"--ticks", L"4294967296"}, L"--ticks: not a tick count: 4294967296"},
        {{L"--ticks", L"12ms"}, L"--ticks: not a tick count: 12ms"},
        {{L"--profile"}, L"--profile needs a profile name"},
        {{L"--profile", L"tiny"}, L"--profile: no such profile: tiny (qvga, vga, qvga131, square, wvga)"},
        {{L"--options"}, L"--options needs an item name"},
        {{L"--input"}, L"--input needs a script file"},
        {{L"--screenshot"}, L"--screenshot needs a file name"},
        {{L"--landscape", L"--frobnicate"}, L"unknown argument: --frobnicate"},
    }, ParseHostOptions);
}

TEST(TodayCommandLine, TakesWhatItAccepts)
{
    HostOptions options;
    ASSERT_EQ(L"", ParseHostOptions({L"--profile", L"wvga", L"--landscape", L"--time", L"2026-12-08T09:41:30",
                                        L"--ticks", L"4294967295", L"--options", L"Mesolune", L"--input", L"a.txt",
                                        L"--screenshot", L"b.png"},
                       options));
    EXPECT_EQ(L"wvga", options.profile);
    EXPECT_TRUE(options.landscape);
    ASSERT_TRUE(options.time.has_value());
    EXPECT_EQ(2026, options.time->wYear);
    EXPECT_EQ(2, options.time->wDayOfWeek); // filled in: a Tuesday
    EXPECT_EQ(30, options.time->wSecond);
    EXPECT_EQ(4294967295u, options.ticks.value_or(0));
    EXPECT_EQ(L"Mesolune", options.options);
    EXPECT_EQ(L"a.txt", options.input);
    EXPECT_EQ(L"b.png", options.screenshot);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(L"", ParseHostOptions({L"-h"}, options));
    EXPECT_TRUE(options.help);
}

TEST(InputScript, SaysWhichLineAndWordItRefuses)
{
    const SIZE qvga = {240, 320};
    const struct
    {
        const wchar_t* script;
        const wchar_t* error;
    } cases[] = {
        // Words too few or too many.
        {L"tap", L"line 1, word 'tap': needs 1 argument"},
        {L"tap 1,1 2,2", L"line 1, word '2,2': one word too many"},
        {L"stroke 1,2", L"line 1, word 'stroke': needs 2 arguments"},
        {L"rotate now", L"line 1, word 'now': one word too many"},
        // Points.
        {L"stroke 1,2 3", L"line 1, word '3': not a point X,Y"},
        {L"hold 240,10", L"line 1, word '240,10': outside the screen (240 x 320)"},
        {L"tap -1,10", L"line 1, word '-1,10': outside the screen (240 x 320)"},
        // Keys and times.
        {L"key space", L"line 1, word 'space': unknown key (left, right, up, down, enter, f2, escape, r)"},
        {L"wait -5", L"line 1, word '-5': not a time in milliseconds (0 to 600000)"},
        {L"wait 600001", L"line 1, word '600001': not a time in milliseconds (0 to 600000)"},
        // Lines, comments and commands on one line.
        {L"tap 1,1\n# a comment\njump 3", L"line 3, word 'jump': unknown command (tap, hold, stroke, key, wait, rotate)"},
        {L"tap 1,1; tap 300,10", L"line 1, word '300,10': outside the screen (240 x 320)"},
        // The key that turns the screen turns the bounds, as a rotation does.
        {L"key r\ntap 10,300", L"line 2, word '10,300': outside the screen (320 x 240)"},
        {L"key r; rotate; tap 300,10", L"line 1, word '300,10': outside the screen (240 x 320)"},
    };
    for (const auto& c : cases) {
        std::vector<InputStep> steps;
        EXPECT_EQ(Narrow(c.error), Narrow(ParseInputScript(c.script, qvga, steps)));
        EXPECT_TRUE(steps.empty()) << Narrow(c.script);
    }
}

TEST(InputScript, ReadsCommandsAndTurnsTheScreenForTheLinesAfterARotation)
{
    std::vector<InputStep> steps;
    ASSERT_EQ(L"", ParseInputScript(L"tap 10,300 # upright\nrotate; tap 300,10\n\nstroke 1,2 3,4; key r; wait 0",
                       SIZE{240, 320}, steps));
    const InputStep::Kind kinds[] = {InputStep::kTap, InputStep::kRotate, InputStep::kTap, InputStep::kStroke,
        InputStep::kKey, InputStep::kWait};
    ASSERT_EQ(std::size(kinds), steps.size());
    for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(kinds[i], steps[i].kind) << i;
    EXPECT_EQ(300, steps[2].from.x);
    EXPECT_EQ(3, steps[3].to.x);
    EXPECT_EQ(static_cast<WORD>('R'), steps[4].key);
    // Turned back, the upright screen's bounds hold again.
    EXPECT_EQ(L"line 2, word '300,10': outside the screen (240 x 320)",
        ParseInputScript(L"rotate; rotate\ntap 300,10", SIZE{240, 320}, steps));
    EXPECT_EQ(L"", ParseInputScript(L"key r; tap 300,10", SIZE{240, 320}, steps));
}

TEST(ControlPanelCommandLine, TellsItsAppletsFromOthers)
{
    const struct
    {
        std::vector<std::wstring> args;
        Applet opens;
        const wchar_t* screenshot;
    } cases[] = {
        {{}, Applet::kClock, L""},
        {{L"cplmain.cpl,16"}, Applet::kClock, L""},
        {{L"cplmain.cpl,16,1"}, Applet::kClock, L""},
        {{L"CPLMAIN.CPL,16,2", L"--screenshot", L"page.png"}, Applet::kClock, L"page.png"},
        {{L"--screenshot", L"page.png"}, Applet::kClock, L"page.png"},
        {{L"cplmain.cpl,2"}, Applet::kTodayItems, L""},
        {{L"cplmain.cpl,2,1", L"--screenshot", L"items.png"}, Applet::kTodayItems, L"items.png"},
        {{L"cplmain.cpl,160"}, Applet::kNone, L""},
        {{L"cplmain.cpl,21"}, Applet::kNone, L""},
        {{L"cplmain.cpl,7"}, Applet::kNone, L""},
    };
    for (const auto& c : cases) {
        ControlPanelCommand command;
        ASSERT_EQ(L"", ParseControlPanelCommand(c.args, command));
        EXPECT_EQ(c.opens, command.opens) << Narrow(command.applet);
        EXPECT_EQ(c.screenshot, command.screenshot);
    }
    EXPECT_EQ(L"На этом устройстве нет такого апплета: cplmain.cpl,7\nЕсть только будильники часов (cplmain.cpl,16) "
              L"и элементы экрана «Сегодня» (cplmain.cpl,2).",
        NoSuchAppletMessage(L"cplmain.cpl,7"));
}

TEST(ControlPanelCommandLine, SaysWhatItRefuses)
{
    ExpectRefusals<ControlPanelCommand>({
        {{L"cplmain.cpl,16", L"--screenshot"}, L"--screenshot needs a file name"},
        {{L"--screenshot"}, L"--screenshot needs a file name"},
        {{L"--frobnicate"}, L"unknown option: --frobnicate"},
        {{L"cplmain.cpl,16", L"cplmain.cpl,16"}, L"one argument too many: cplmain.cpl,16"},
    }, ParseControlPanelCommand);
}

} // namespace
