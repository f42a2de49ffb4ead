/* A reader driver that imports from a DLL no PC has: loading it must fail quietly. */
__declspec(dllimport) int quorvalis_gone(void);

__declspec(dllexport) int __stdcall SCardComand(void* handle, const char* command, int* commandLength,
                                                const char* dataIn, int* dataInLength, char* dataOut,
                                                int* dataOutLength) {
  (void)handle, (void)command, (void)commandLength, (void)dataIn, (void)dataInLength, (void)dataOut,
      (void)dataOutLength;
  return quorvalis_gone();
}
