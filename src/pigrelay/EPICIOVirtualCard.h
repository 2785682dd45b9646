/* The stand-in EPICIO's own functions, beyond the vendor's three: they plug the virtual EPIC
 * card in and out and read back what was written to it. Used by the virtual hardware and by
 * tests; the vendor's library has no such functions. */
#ifndef GLIMROW_EPICIO_VIRTUAL_CARD_H
#define GLIMROW_EPICIO_VIRTUAL_CARD_H

#include "EPICIO.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Plugs the virtual card in (1) or out (0); unplugging closes it. */
EPICIO_API void EpicioVirtual_SetPresent(int present);
EPICIO_API int EpicioVirtual_IsPresent(void);
/* Forgets every pigeonhole written and zeroes the call counts (for tests). */
EPICIO_API void EpicioVirtual_Reset(void);
/* How many pigeonholes have been written; then the index-th in ascending pigeonhole order:
 * its number, its four bytes and how often it was written. 0 when `index` is out of range. */
EPICIO_API int EpicioVirtual_PigeonholeCount(void);
EPICIO_API int EpicioVirtual_Pigeonhole(int index, int* number, unsigned char bytes[4],
                                        int* writes);
/* Calls made so far: OpenDevice, SendPH (all, valid handle or not) and CloseDevice. */
EPICIO_API int EpicioVirtual_OpenCalls(void);
EPICIO_API int EpicioVirtual_SendCalls(void);
EPICIO_API int EpicioVirtual_CloseCalls(void);

#ifdef __cplusplus
}
#endif

#endif
