/* EPICIO: the EPIC vendor's device library, as Pigrelay calls it. On 32-bit Windows the
 * three functions are stdcall and carry their decorated names (__OpenDevice@4, __SendPH@24,
 * __CloseDevice@4); elsewhere the stand-in that implements a virtual card exports them
 * plainly. */
#ifndef GLIMROW_EPICIO_H
#define GLIMROW_EPICIO_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(EPICIO_BUILDING)
#define EPICIO_API __declspec(dllexport)
#else
#define EPICIO_API __declspec(dllimport)
#endif
#define EPICIO_CALL __stdcall
#define EPICIO_OpenDevice __OpenDevice
#define EPICIO_SendPH __SendPH
#define EPICIO_CloseDevice __CloseDevice
#else
#define EPICIO_API __attribute__((visibility("default")))
#define EPICIO_CALL
#define EPICIO_OpenDevice OpenDevice
#define EPICIO_SendPH SendPH
#define EPICIO_CloseDevice CloseDevice
#endif

/* Opens the card; `device` is 1. A result above 0 is the handle of the open card. */
EPICIO_API int EPICIO_CALL EPICIO_OpenDevice(int device);
/* Writes the four data bytes of one pigeonhole. */
EPICIO_API int EPICIO_CALL EPICIO_SendPH(int handle, int pigeonhole, unsigned char b0,
                                         unsigned char b1, unsigned char b2, unsigned char b3);
EPICIO_API int EPICIO_CALL EPICIO_CloseDevice(int handle);

#ifdef __cplusplus
}
#endif

#endif
