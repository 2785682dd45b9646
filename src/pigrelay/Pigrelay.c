/* Pigrelay: see Pigrelay.h. */

#include "Pigrelay.h"

#include "EPICIO.h"

#include <math.h>
#include <stdint.h>

/* A channel's state: its converted value and the pigeonhole its send addresses. */
typedef struct {
    int32_t value;
    int32_t pigeonhole;
} Channel;

static int32_t g_handle = -1;
static int32_t g_gearNose = 0;
static int32_t g_gearLeft = 0;
static int32_t g_gearRight = 0;
static int32_t g_gearMask = 0;
static int32_t g_intresPigeonhole = 0;
static int32_t g_intwingPigeonhole = 0;
static int32_t g_lbPigeonhole[3] = {0, 0, 0};

static const int32_t kGearPigeonhole = 5;

/* The low 32 bits of a whole number held in a double (|x| well below 2^63). */
static int32_t low32(double wholeNumber)
{
    return (int32_t)(uint32_t)(uint64_t)(int64_t)wholeNumber;
}

static int32_t timesHundred(int32_t value)
{
    return low32(trunc((double)value * 100.0));
}

static int32_t wholeHundreds(int32_t value)
{
    return low32(trunc(((double)value + 0.5) * 0.01));
}

static unsigned char lowByte(int32_t value)
{
    return (unsigned char)((uint32_t)value & 0xFFu);
}

static int sendByte(int32_t pigeonhole, int32_t value)
{
    return EPICIO_SendPH(g_handle, pigeonhole, lowByte(value), 0, 0, 0);
}

static int32_t wholeGearPosition(float position)
{
    const double whole = trunc((double)position);
    if (!(whole >= (double)INT32_MIN && whole <= (double)INT32_MAX))
        return 0; /* not a number, or no position a gear can have */
    return (int32_t)whole;
}

PIGRELAY_API int PIGRELAY_CALL OpenEpic(void)
{
    if (g_handle <= 0)
        g_handle = EPICIO_OpenDevice(1); /* a failure value too: the next call tries again */
    return g_handle > 0 ? 1 : 0;
}

PIGRELAY_API int PIGRELAY_CALL CloseEpic(void)
{
    if (g_handle > 0) {
        EPICIO_CloseDevice(g_handle);
        g_handle = -1;
    }
    return g_handle <= 0 ? 1 : 0;
}

/* A value channel: its setters and its send, the stored value converted by CONVERT. */
#define VALUE_CHANNEL(NAME, CONVERT)                                                               \
    static Channel g_##NAME;                                                                       \
    PIGRELAY_API int PIGRELAY_CALL NAME##CallRet(int value)                                        \
    {                                                                                              \
        g_##NAME.value = CONVERT(value);                                                           \
        return value;                                                                              \
    }                                                                                              \
    PIGRELAY_API int PIGRELAY_CALL NAME##PHCallRet(int pigeonhole)                                 \
    {                                                                                              \
        g_##NAME.pigeonhole = pigeonhole;                                                          \
        return pigeonhole;                                                                         \
    }                                                                                              \
    PIGRELAY_API int PIGRELAY_CALL Send##NAME##PH(void)                                            \
    {                                                                                              \
        return sendByte(g_##NAME.pigeonhole, g_##NAME.value);                                      \
    }

#define AS_IS(value) (value)

VALUE_CHANNEL(RPM, AS_IS)
VALUE_CHANNEL(RPM2, AS_IS)
VALUE_CHANNEL(OIL, AS_IS)
VALUE_CHANNEL(OIL2, AS_IS)
VALUE_CHANNEL(CHAFF, AS_IS)
VALUE_CHANNEL(FLARE, AS_IS)
VALUE_CHANNEL(ROLL, timesHundred)
VALUE_CHANNEL(PITCH, timesHundred)
VALUE_CHANNEL(TOTAL, wholeHundreds)
VALUE_CHANNEL(INTERNAL, wholeHundreds)
VALUE_CHANNEL(EXTERNAL, wholeHundreds)
VALUE_CHANNEL(MACH, AS_IS)
VALUE_CHANNEL(KIAS, AS_IS)
VALUE_CHANNEL(GS, AS_IS)
VALUE_CHANNEL(NOZZLE, AS_IS)
VALUE_CHANNEL(NOZZLE2, AS_IS)
VALUE_CHANNEL(FTIT, AS_IS)
VALUE_CHANNEL(FTIT2, AS_IS)
VALUE_CHANNEL(SPEEDBRAKE, AS_IS)
VALUE_CHANNEL(EPUFUEL, AS_IS)
VALUE_CHANNEL(FUELFLOW, AS_IS)
VALUE_CHANNEL(UFC, AS_IS)
VALUE_CHANNEL(AUX, AS_IS)

PIGRELAY_API int PIGRELAY_CALL INTRESPHCallRet(int pigeonhole)
{
    g_intresPigeonhole = pigeonhole;
    return pigeonhole;
}

PIGRELAY_API int PIGRELAY_CALL SendFUELRESPH(void)
{
    const int32_t total = g_TOTAL.value;
    return sendByte(g_intresPigeonhole, total >= 9 ? 9 : total);
}

PIGRELAY_API int PIGRELAY_CALL INTWINGPHCallRet(int pigeonhole)
{
    g_intwingPigeonhole = pigeonhole;
    return pigeonhole;
}

PIGRELAY_API int PIGRELAY_CALL SendINTWINGPH(void)
{
    const int32_t internal = g_INTERNAL.value;
    const int32_t step = internal >= 59 ? 11 : internal <= 48 ? 0 : internal - 48;
    return sendByte(g_intwingPigeonhole, step);
}

static int sendWord(int32_t pigeonhole, int32_t word)
{
    const uint32_t bits = (uint32_t)word;
    EPICIO_SendPH(g_handle, pigeonhole, (unsigned char)(bits & 0xFFu),
                  (unsigned char)((bits >> 8) & 0xFFu), (unsigned char)((bits >> 16) & 0xFFu),
                  (unsigned char)((bits >> 24) & 0xFFu));
    return word;
}

PIGRELAY_API int PIGRELAY_CALL LBPHCallRet(int pigeonhole)
{
    return g_lbPigeonhole[0] = pigeonhole;
}

PIGRELAY_API int PIGRELAY_CALL SendLBPH(int word)
{
    return sendWord(g_lbPigeonhole[0], word);
}

PIGRELAY_API int PIGRELAY_CALL LB2PHCallRet(int pigeonhole)
{
    return g_lbPigeonhole[1] = pigeonhole;
}

PIGRELAY_API int PIGRELAY_CALL SendLB2PH(int word)
{
    return sendWord(g_lbPigeonhole[1], word);
}

PIGRELAY_API int PIGRELAY_CALL LB3PHCallRet(int pigeonhole)
{
    return g_lbPigeonhole[2] = pigeonhole;
}

PIGRELAY_API int PIGRELAY_CALL SendLB3PH(int word)
{
    return sendWord(g_lbPigeonhole[2], word);
}

PIGRELAY_API int PIGRELAY_CALL SendNoseGear(float position)
{
    g_gearNose = wholeGearPosition(position);
    return 0;
}

PIGRELAY_API int PIGRELAY_CALL SendLeftGear(float position)
{
    g_gearLeft = wholeGearPosition(position);
    return 0;
}

PIGRELAY_API int PIGRELAY_CALL SendRightGear(float position)
{
    g_gearRight = wholeGearPosition(position);
    return 0;
}

PIGRELAY_API int PIGRELAY_CALL SendGearTrans(void)
{
    if (g_gearNose == 1)
        g_gearMask += 1;
    if (g_gearLeft == 1)
        g_gearMask += 2;
    if (g_gearRight == 1)
        g_gearMask += 4;
    const int result = sendByte(kGearPigeonhole, g_gearMask);
    g_gearMask = 0;
    return result;
}
