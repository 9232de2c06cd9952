#include "disc/movie_object/nav_command.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

namespace
{

// Mnemonic tables indexed by the option field; nullptr where a value has none.
const char* const kBranchGoTo[] = {"Nop", "GoTo", "Break"};
const char* const kBranchJump[] = {"Jump_Object", "Jump_Title", "Call_Object", "Call_Title",
                                   "Resume"};
const char* const kBranchPlay[] = {"Play_PL",      "Play_PLatPI", "Play_PLatMK",
                                   "Terminate_PL", "Link_PI",     "Link_MK"};
// Compare option 0 has no mnemonic; 1 is the bitwise test, as disc players run it.
const char* const kCompare[]       = {nullptr,         "Bitwise_Compare",  "Equal",
                                      "Not_Equal",     "Greater_or_Equal", "Greater_than",
                                      "Less_or_Equal", "Less_than"};
const char* const kSetArithmetic[] = {
    nullptr, "Move", "Swap", "Add", "Sub",     "Mul",       "Div",        "Mod",
    "Rnd",   "And",  "Or",   "Xor", "Bit_Set", "Bit_Clear", "Shift_Left", "Shift_Right"};
const char* const kSetSystem[] = {
    nullptr,         "SetStream",          "SetNVTimer",    "SetButton_Page", "EnableButton ",
    "DisableButton", "SetSecondaryStream", "PopUpMenu_Off", "Still_On",       "Still_Off",
    "SetOutputMode", "SetStreamSS",        nullptr,         nullptr,          nullptr,
    nullptr,         "reserved_0x10",      "reserved_0x11"};

template <size_t N> const char* Pick(const char* const (&table)[N], uint32_t index)
{
    return index < N ? table[index] : nullptr;
}

const char* Mnemonic(uint32_t code)
{
    const uint32_t group    = code >> 27 & 3;
    const uint32_t subGroup = code >> 24 & 7;
    switch (group) {
    case 0: {
        const uint32_t branch = code >> 16 & 15;
        switch (subGroup) {
        case 0:
            return Pick(kBranchGoTo, branch);
        case 1:
            return Pick(kBranchJump, branch);
        case 2:
            return Pick(kBranchPlay, branch);
        default:
            return nullptr;
        }
    }
    case 1: // the sub-group plays no part in comparisons
        return Pick(kCompare, code >> 8 & 15);
    case 2: {
        const uint32_t set = code & 31;
        if (subGroup == 0)
            return Pick(kSetArithmetic, set);
        if (subGroup == 1)
            return Pick(kSetSystem, set);
        return nullptr;
    }
    default:
        return nullptr;
    }
}

void AppendOperand(std::string& text, uint32_t immediate, uint32_t operand)
{
    char number[16];
    snprintf(number, sizeof number, "%u", operand);
    text += ' ';
    if (!immediate)
        text += "reg_";
    text += number;
}

} // namespace

void CNavigationCommand::FormatNavigationCommand()
{
    command.clear();
    if (const char* mnemonic = Mnemonic(operation_code))
        command = mnemonic;
    // Operands follow even without a mnemonic, so such a text begins with the blank.
    const uint32_t count = operation_code >> 29;
    if (count >= 1)
        AppendOperand(command, operation_code >> 23 & 1, operand_1);
    if (count >= 2)
        AppendOperand(command, operation_code >> 22 & 1, operand_2);
}

// The text follows the numbers; JSON carries it, and nothing reads it back.
template <class IO> void CNavigationCommand::Fields(IO& io)
{
    io.U(32, FLD(operation_code));
    io.U(32, FLD(operand_1));
    io.U(32, FLD(operand_2));
    FormatNavigationCommand();
    if constexpr (IO::kOp == ser::Op::kWriteJson)
        io.String(command, "command");
}

template class ser::Described<CNavigationCommand>;
