// What an ARM setup library changes itself, through its own file and
// registry calls, as part of its installation or removal: each change is
// noted in that change's journal before it is made, so that a failed
// installation undoes it too, and a change of what another application
// installed is refused (the library stops).
#pragma once

#include "ChangeWatch.h"
#include "InstallRecord.h"
#include "Journal.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

class SetupChanges : public armce::ChangeWatch
{
public:
    // The setup library of appName, whose changes journal notes.
    SetupChanges(Journal& journal, const std::wstring& appName);

    bool FileChanging(const std::wstring& name, std::wstring& refusal) override;
    bool KeyChanging(HKEY root, const std::wstring& path, std::wstring& refusal) override;

private:
    // Notes the step once: the first note holds what was there before.
    bool NoteOnce(const std::wstring& step, const std::function<bool()>& note);

    Journal& journal_;
    std::vector<InstallRecord> others_;
    std::set<std::wstring> noted_; // the steps noted, their names in capitals
};
