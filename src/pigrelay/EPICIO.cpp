// The EPICIO stand-in: a virtual EPIC card in this process. OpenDevice gives a handle above 0
// only while the card is plugged in; SendPH on that handle stores the pigeonhole's four bytes
// and counts the write; any other handle is refused harmlessly with -1.

#define EPICIO_BUILDING
#include "EPICIOVirtualCard.h"

#include <array>
#include <iterator>
#include <map>

namespace {

struct Pigeonhole {
    std::array<unsigned char, 4> bytes{};
    int writes = 0;
};

struct VirtualCard {
    bool present = false;
    int openHandle = 0; // 0: not open
    int nextHandle = 1;
    std::map<int, Pigeonhole> pigeonholes;
    int openCalls = 0;
    int sendCalls = 0;
    int closeCalls = 0;
};

VirtualCard& card()
{
    static VirtualCard theCard;
    return theCard;
}

} // namespace

extern "C" {

EPICIO_API int EPICIO_CALL EPICIO_OpenDevice(int /*device*/)
{
    VirtualCard& epic = card();
    ++epic.openCalls;
    if (!epic.present)
        return 0;
    if (epic.openHandle <= 0)
        epic.openHandle = epic.nextHandle++;
    return epic.openHandle;
}

EPICIO_API int EPICIO_CALL EPICIO_SendPH(int handle, int pigeonhole, unsigned char b0,
                                         unsigned char b1, unsigned char b2, unsigned char b3)
{
    VirtualCard& epic = card();
    ++epic.sendCalls;
    if (handle <= 0 || handle != epic.openHandle)
        return -1;
    Pigeonhole& slot = epic.pigeonholes[pigeonhole];
    slot.bytes = {b0, b1, b2, b3};
    ++slot.writes;
    return 0;
}

EPICIO_API int EPICIO_CALL EPICIO_CloseDevice(int handle)
{
    VirtualCard& epic = card();
    ++epic.closeCalls;
    if (handle <= 0 || handle != epic.openHandle)
        return -1;
    epic.openHandle = 0;
    return 0;
}

EPICIO_API void EpicioVirtual_SetPresent(int present)
{
    card().present = present != 0;
    if (!present)
        card().openHandle = 0;
}

EPICIO_API int EpicioVirtual_IsPresent(void)
{
    return card().present ? 1 : 0;
}

EPICIO_API void EpicioVirtual_Reset(void)
{
    VirtualCard& epic = card();
    epic.pigeonholes.clear();
    epic.openCalls = epic.sendCalls = epic.closeCalls = 0;
}

EPICIO_API int EpicioVirtual_PigeonholeCount(void)
{
    return int(card().pigeonholes.size());
}

EPICIO_API int EpicioVirtual_Pigeonhole(int index, int* number, unsigned char bytes[4], int* writes)
{
    const auto& pigeonholes = card().pigeonholes;
    if (index < 0 || index >= int(pigeonholes.size()))
        return 0;
    const auto entry = std::next(pigeonholes.begin(), index);
    *number = entry->first;
    for (int i = 0; i < 4; ++i)
        bytes[i] = entry->second.bytes[std::size_t(i)];
    *writes = entry->second.writes;
    return 1;
}

EPICIO_API int EpicioVirtual_OpenCalls(void)
{
    return card().openCalls;
}

EPICIO_API int EpicioVirtual_SendCalls(void)
{
    return card().sendCalls;
}

EPICIO_API int EpicioVirtual_CloseCalls(void)
{
    return card().closeCalls;
}

} // extern "C"
