#include "device/command_table.h"

#include <array>

#include "device/command_channel.h"

namespace raid {
namespace {

constexpr std::array<CommandRow, 16> kRows = {{
    {CmdProbe, 4, false, kProbeBudget},
    {CmdGetControllerInfo, 4, false, kCommandBudget},
    {CmdGetExtendedStatus, 4, false, kCommandBudget},
    {CmdGetDriveInfo, 4, false, kCommandBudget},
    {CmdFlashRead, 4, false, kCommandBudget},
    {CmdFlashErase, 5, false, kCommandBudget},
    {CmdFlashProgram, 5, true, kCommandBudget},
    {CmdBuzzerMuteOn, 4, false, kCommandBudget},
    {CmdBuzzerMuteOff, 4, false, kCommandBudget},
    {CmdSyncEvery10Min, 4, false, kCommandBudget},
    {CmdSyncEvery30Min, 4, false, kCommandBudget},
    {CmdSyncEvery1Hour, 4, false, kCommandBudget},
    {CmdSyncEvery3Hours, 4, false, kCommandBudget},
    {CmdHybridConfig, 4, false, kCommandBudget},
    {CmdAtaIssue, 5, true, kAtaBudget},
    {CmdAtaFetch, 4, false, kAtaBudget},
}};

}  // namespace

CommandRow CommandRowFor(std::uint8_t code) {
    for (const CommandRow& row : kRows) {
        if (row.code == code) {
            return row;
        }
    }
    return {code, 4, false, kCommandBudget};
}

}  // namespace raid
