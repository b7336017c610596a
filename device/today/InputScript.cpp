#include "InputScript.h"

#include <cwchar>
#include <sstream>

namespace {

struct NamedKey
{
    const wchar_t* name;
    WORD key;
};

const NamedKey kKeys[] = {
    {L"left", VK_LEFT}, {L"right", VK_RIGHT}, {L"up", VK_UP}, {L"down", VK_DOWN},
    {L"enter", VK_RETURN}, {L"f2", VK_F2}, {L"escape", VK_ESCAPE}, {L"r", kRotateKey},
};

class LineParser
{
public:
    LineParser(int line, const std::wstring& text) : line_(line)
    {
        std::wistringstream words(text);
        for (std::wstring word; words >> word;)
            words_.push_back(word);
    }

    bool Empty() const { return words_.empty(); }

    // The screen the points must lie on; a rotation turns it for the lines after.
    std::wstring Parse(InputStep& step, SIZE& screen)
    {
        screen_ = screen;
        const std::wstring& command = words_[0];
        if (command == L"rotate") {
            step.kind = InputStep::kRotate;
            screen = SIZE{screen.cy, screen.cx};
            return Arguments(0);
        }
        if (command == L"tap" || command == L"hold") {
            step.kind = command == L"tap" ? InputStep::kTap : InputStep::kHold;
            const std::wstring error = Arguments(1);
            return error.empty() ? Point(1, step.from) : error;
        }
        if (command == L"stroke") {
            step.kind = InputStep::kStroke;
            std::wstring error = Arguments(2);
            if (error.empty())
                error = Point(1, step.from);
            if (error.empty())
                error = Point(2, step.to);
            return error;
        }
        if (command == L"key") {
            step.kind = InputStep::kKey;
            if (std::wstring error = Arguments(1); !error.empty())
                return error;
            for (const NamedKey& k : kKeys)
                if (words_[1] == k.name) {
                    step.key = k.key;
                    // The key that turns the screen turns it for the lines after.
                    if (k.key == kRotateKey)
                        screen = SIZE{screen.cy, screen.cx};
                    return L"";
                }
            return Error(1, L"unknown key (left, right, up, down, enter, f2, escape, r)");
        }
        if (command == L"wait") {
            step.kind = InputStep::kWait;
            if (std::wstring error = Arguments(1); !error.empty())
                return error;
            wchar_t* end = nullptr;
            const unsigned long ms = std::wcstoul(words_[1].c_str(), &end, 10);
            if (*end != L'\0' || words_[1][0] == L'-' || ms > 600000)
                return Error(1, L"not a time in milliseconds (0 to 600000)");
            step.milliseconds = static_cast<DWORD>(ms);
            return L"";
        }
        return Error(0, L"unknown command (tap, hold, stroke, key, wait, rotate)");
    }

private:
    std::wstring Error(size_t word, const std::wstring& message) const
    {
        return L"line " + std::to_wstring(line_) + L", word '" + words_[word] + L"': " + message;
    }

    std::wstring Arguments(size_t count) const
    {
        if (words_.size() - 1 < count)
            return Error(0, L"needs " + std::to_wstring(count) + (count == 1 ? L" argument" : L" arguments"));
        if (words_.size() - 1 > count)
            return Error(count + 1, L"one word too many");
        return L"";
    }

    std::wstring Point(size_t word, POINT& point) const
    {
        int x = 0, y = 0;
        wchar_t rest = 0;
        if (std::swscanf(words_[word].c_str(), L"%d,%d%lc", &x, &y, &rest) != 2)
            return Error(word, L"not a point X,Y");
        if (x < 0 || y < 0 || x >= screen_.cx || y >= screen_.cy)
            return Error(word, L"outside the screen (" + std::to_wstring(screen_.cx) + L" x " +
                                   std::to_wstring(screen_.cy) + L")");
        point = {x, y};
        return L"";
    }

    int line_;
    SIZE screen_ = {0, 0};
    std::vector<std::wstring> words_;
};

} // namespace

std::wstring ParseInputScript(const std::wstring& text, SIZE screen, std::vector<InputStep>& steps)
{
    std::vector<InputStep> parsed;
    std::wistringstream lines(text);
    int number = 0;
    for (std::wstring line; std::getline(lines, line);) {
        ++number;
        line = line.substr(0, line.find(L'#'));
        std::wistringstream commands(line);
        for (std::wstring command; std::getline(commands, command, L';');) {
            LineParser parser(number, command);
            if (parser.Empty())
                continue;
            InputStep step;
            step.line = number;
            if (std::wstring error = parser.Parse(step, screen); !error.empty())
                return error;
            parsed.push_back(step);
        }
    }
    steps = parsed;
    return L"";
}
