/* Pigrelay: the program's relay to the EPIC card. It keeps the open card's handle and, per
 * cockpit quantity (a channel), a stored value and a stored pigeonhole number; a channel's
 * send converts the stored value and hands the pigeonhole and four data bytes to EPICIO.
 *
 * Calling order: OpenEpic before any send; for each channel its value and pigeonhole
 * setters before its send (a setter alone never reaches the card; an unset value or
 * pigeonhole is 0); CloseEpic when done. All state is process-wide; every integer is 32-bit.
 * On 32-bit Windows every function is stdcall and exported undecorated. */
#ifndef GLIMROW_PIGRELAY_H
#define GLIMROW_PIGRELAY_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PIGRELAY_API __declspec(dllexport)
#define PIGRELAY_CALL __stdcall
#else
#define PIGRELAY_API __attribute__((visibility("default")))
#define PIGRELAY_CALL
#endif

/* 1 when a card is open after the call (EPICIO is asked only when none is open), else 0. */
PIGRELAY_API int PIGRELAY_CALL OpenEpic(void);
/* 1 when no card is open after the call, else 0. */
PIGRELAY_API int PIGRELAY_CALL CloseEpic(void);

/* Value channels: XCallRet stores the value (converted: ROLL and PITCH x 100, TOTAL, INTERNAL
 * and EXTERNAL in whole hundreds) and returns its argument; XPHCallRet stores the pigeonhole
 * and returns it; SendXPH sends the low byte of the stored value and returns EPICIO's result. */
PIGRELAY_API int PIGRELAY_CALL RPMCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL RPMPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendRPMPH(void);
PIGRELAY_API int PIGRELAY_CALL RPM2CallRet(int value);
PIGRELAY_API int PIGRELAY_CALL RPM2PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendRPM2PH(void);
PIGRELAY_API int PIGRELAY_CALL OILCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL OILPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendOILPH(void);
PIGRELAY_API int PIGRELAY_CALL OIL2CallRet(int value);
PIGRELAY_API int PIGRELAY_CALL OIL2PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendOIL2PH(void);
PIGRELAY_API int PIGRELAY_CALL CHAFFCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL CHAFFPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendCHAFFPH(void);
PIGRELAY_API int PIGRELAY_CALL FLARECallRet(int value);
PIGRELAY_API int PIGRELAY_CALL FLAREPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendFLAREPH(void);
PIGRELAY_API int PIGRELAY_CALL ROLLCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL ROLLPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendROLLPH(void);
PIGRELAY_API int PIGRELAY_CALL PITCHCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL PITCHPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendPITCHPH(void);
PIGRELAY_API int PIGRELAY_CALL TOTALCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL TOTALPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendTOTALPH(void);
PIGRELAY_API int PIGRELAY_CALL INTERNALCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL INTERNALPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendINTERNALPH(void);
PIGRELAY_API int PIGRELAY_CALL EXTERNALCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL EXTERNALPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendEXTERNALPH(void);
PIGRELAY_API int PIGRELAY_CALL MACHCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL MACHPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendMACHPH(void);
PIGRELAY_API int PIGRELAY_CALL KIASCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL KIASPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendKIASPH(void);
PIGRELAY_API int PIGRELAY_CALL GSCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL GSPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendGSPH(void);
PIGRELAY_API int PIGRELAY_CALL NOZZLECallRet(int value);
PIGRELAY_API int PIGRELAY_CALL NOZZLEPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendNOZZLEPH(void);
PIGRELAY_API int PIGRELAY_CALL NOZZLE2CallRet(int value);
PIGRELAY_API int PIGRELAY_CALL NOZZLE2PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendNOZZLE2PH(void);
PIGRELAY_API int PIGRELAY_CALL FTITCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL FTITPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendFTITPH(void);
PIGRELAY_API int PIGRELAY_CALL FTIT2CallRet(int value);
PIGRELAY_API int PIGRELAY_CALL FTIT2PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendFTIT2PH(void);
PIGRELAY_API int PIGRELAY_CALL SPEEDBRAKECallRet(int value);
PIGRELAY_API int PIGRELAY_CALL SPEEDBRAKEPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendSPEEDBRAKEPH(void);
PIGRELAY_API int PIGRELAY_CALL EPUFUELCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL EPUFUELPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendEPUFUELPH(void);
PIGRELAY_API int PIGRELAY_CALL FUELFLOWCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL FUELFLOWPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendFUELFLOWPH(void);
PIGRELAY_API int PIGRELAY_CALL UFCCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL UFCPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendUFCPH(void);
PIGRELAY_API int PIGRELAY_CALL AUXCallRet(int value);
PIGRELAY_API int PIGRELAY_CALL AUXPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendAUXPH(void);

/* Derived channels: the fuel reserve (the stored TOTAL, at most 9) and the internal wing step
 * (from the stored INTERNAL: 0 up to 48, 1 to 10 for 49 to 58, 11 from 59). */
PIGRELAY_API int PIGRELAY_CALL INTRESPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendFUELRESPH(void);
PIGRELAY_API int PIGRELAY_CALL INTWINGPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendINTWINGPH(void);

/* Light-bit words: sent as four bytes, lowest first; the send returns the word. */
PIGRELAY_API int PIGRELAY_CALL LBPHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendLBPH(int word);
PIGRELAY_API int PIGRELAY_CALL LB2PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendLB2PH(int word);
PIGRELAY_API int PIGRELAY_CALL LB3PHCallRet(int pigeonhole);
PIGRELAY_API int PIGRELAY_CALL SendLB3PH(int word);

/* Gear: the setters store their position truncated to a whole number and return 0;
 * SendGearTrans sends to pigeonhole 5 the mask of the gears whose state is exactly 1
 * (nose 1, left 2, right 4). */
PIGRELAY_API int PIGRELAY_CALL SendNoseGear(float position);
PIGRELAY_API int PIGRELAY_CALL SendLeftGear(float position);
PIGRELAY_API int PIGRELAY_CALL SendRightGear(float position);
PIGRELAY_API int PIGRELAY_CALL SendGearTrans(void);

#ifdef __cplusplus
}
#endif

#endif
