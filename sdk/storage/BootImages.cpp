#include "BootImages.h"

#include <cstddef>
#include <cstring>

namespace {

using Image = CBootImages::Image;

// The BIOS loads sector 0 at 0000:7C00, so an image offset X is address 7C00h + X;
// every message below lies in 7D00h-7DFFh.

// Boot sector code at offset 3Eh (the jump at 0 lands here). It resets the boot
// drive: a failing reset reports a disk error, a working one reports that the
// disk holds no system. Either way it asks for a key and hands back to the BIOS.
//
//   3E FA           cli
//   3F 31 C0        xor  ax,ax
//   41 8E D0        mov  ss,ax
//   43 BC 00 7C     mov  sp,7C00h
//   46 8E D8        mov  ds,ax
//   48 8E C0        mov  es,ax
//   4A FB           sti
//   4B FC           cld
//   4C 88 16 24 7C  mov  [7C24h],dl      ; BIOS drive number into the parameter block
//   50 30 E4        xor  ah,ah
//   52 CD 13        int  13h             ; reset the drive
//   54 BE 85 7D     mov  si,7D85h        ; "Invalid system disk"
//   57 73 03        jnc  show
//   59 BE 9B 7D     mov  si,7D9Bh        ; "Disk I/O error"
//   5C E8 0C 00     show: call print
//   5F BE AC 7D     mov  si,7DACh        ; "Replace the disk, and then press any key"
//   62 E8 06 00     call print
//   65 30 E4        xor  ah,ah
//   67 CD 16        int  16h             ; wait for a key
//   69 CD 19        int  19h             ; let the BIOS boot again
//   6B AC           print: lodsb
//   6C 08 C0        or   al,al
//   6E 74 09        jz   done
//   70 B4 0E        mov  ah,0Eh          ; teletype output
//   72 BB 07 00     mov  bx,0007h
//   75 CD 10        int  10h
//   77 EB F2        jmp  print
//   79 C3           done: ret
const uint8_t kBootCode[] = {
    0xFA, 0x31, 0xC0, 0x8E, 0xD0, 0xBC, 0x00, 0x7C, 0x8E, 0xD8, 0x8E, 0xC0, 0xFB, 0xFC, 0x88,
    0x16, 0x24, 0x7C, 0x30, 0xE4, 0xCD, 0x13, 0xBE, 0x85, 0x7D, 0x73, 0x03, 0xBE, 0x9B, 0x7D,
    0xE8, 0x0C, 0x00, 0xBE, 0xAC, 0x7D, 0xE8, 0x06, 0x00, 0x30, 0xE4, 0xCD, 0x16, 0xCD, 0x19,
    0xAC, 0x08, 0xC0, 0x74, 0x09, 0xB4, 0x0E, 0xBB, 0x07, 0x00, 0xCD, 0x10, 0xEB, 0xF2, 0xC3};

// FAT12 parameter block (offsets 0Bh-3Dh) for a 16,353-sector volume: 8 sectors
// per cluster, 6 sectors per FAT, 63 hidden sectors. The formatter rewrites it.
const uint8_t kBootParameters[] = {0x00, 0x02,              // 0B bytes per sector
                                   0x08,                    // 0D sectors per cluster
                                   0x01, 0x00,              // 0E reserved sectors
                                   0x02,                    // 10 FATs
                                   0x00, 0x02,              // 11 root entries
                                   0xE1, 0x3F,              // 13 sectors (16,353)
                                   0xF8,                    // 15 media
                                   0x06, 0x00,              // 16 sectors per FAT
                                   0x3F, 0x00,              // 18 sectors per track
                                   0xFF, 0x00,              // 1A heads
                                   0x3F, 0x00, 0x00, 0x00,  // 1C hidden sectors
                                   0x00, 0x00, 0x00, 0x00,  // 20 sectors, 32-bit
                                   0x80, 0x00, 0x29,  // 24 drive, reserved, extended signature
                                   0x00, 0x00, 0x00, 0x00,  // 27 serial
                                   'N',  'O',  ' ',  'N',  'A', 'M', 'E', ' ',
                                   ' ',  ' ',  ' ',                              // 2B label
                                   'F',  'A',  'T',  '1',  '2', ' ', ' ', ' '};  // 36 file system

// Master boot record code for removable drives, at offset 0. It checks the four
// partition entries (boot indicator 0 or 80h), counts the active ones and
// reports: a bad indicator, no active entry, or (since it never chain-loads)
// that no system could be loaded.
//
//   00 FA           cli
//   01 31 C0        xor  ax,ax
//   03 8E D0        mov  ss,ax
//   05 BC 00 7C     mov  sp,7C00h
//   08 8E D8        mov  ds,ax
//   0A FB           sti
//   0B FC           cld
//   0C BE BE 7D     mov  si,7DBEh        ; first partition entry
//   0F B9 04 00     mov  cx,4
//   12 31 D2        xor  dx,dx           ; dl counts active entries
//   14 8A 04        scan: mov al,[si]
//   16 A8 7F        test al,7Fh
//   18 75 16        jnz  invalid
//   1A D0 E0        shl  al,1            ; CF = active bit
//   1C 80 D2 00     adc  dl,0
//   1F 83 C6 10     add  si,16
//   22 E2 F0        loop scan
//   24 BE 46 7D     mov  si,7D46h        ; "Missing operating system"
//   27 08 D2        or   dl,dl
//   29 74 08        jz   show
//   2B BE 27 7D     mov  si,7D27h        ; "Error loading operating system"
//   2E EB 03        jmp  show
//   30 BE 0F 7D     invalid: mov si,7D0Fh ; "Invalid partition table"
//   33 E8 06 00     show: call print
//   36 30 E4        xor  ah,ah
//   38 CD 16        int  16h
//   3A CD 19        int  19h
//   3C AC           print: lodsb
//   3D 08 C0        or   al,al
//   3F 74 09        jz   done
//   41 B4 0E        mov  ah,0Eh
//   43 BB 07 00     mov  bx,0007h
//   46 CD 10        int  10h
//   48 EB F2        jmp  print
//   4A C3           done: ret
const uint8_t kRemovableCode[] = {
    0xFA, 0x31, 0xC0, 0x8E, 0xD0, 0xBC, 0x00, 0x7C, 0x8E, 0xD8, 0xFB, 0xFC, 0xBE, 0xBE, 0x7D,
    0xB9, 0x04, 0x00, 0x31, 0xD2, 0x8A, 0x04, 0xA8, 0x7F, 0x75, 0x16, 0xD0, 0xE0, 0x80, 0xD2,
    0x00, 0x83, 0xC6, 0x10, 0xE2, 0xF0, 0xBE, 0x46, 0x7D, 0x08, 0xD2, 0x74, 0x08, 0xBE, 0x27,
    0x7D, 0xEB, 0x03, 0xBE, 0x0F, 0x7D, 0xE8, 0x06, 0x00, 0x30, 0xE4, 0xCD, 0x16, 0xCD, 0x19,
    0xAC, 0x08, 0xC0, 0x74, 0x09, 0xB4, 0x0E, 0xBB, 0x07, 0x00, 0xCD, 0x10, 0xEB, 0xF2, 0xC3};

// Master boot record code for fixed disks, at offset 0: the same checks, but the
// message is chosen through the table of low offset bytes at 1B5h-1B7h, so the
// texts can move without touching the code.
//
//   00 FA ... 22 E2 F0  as above, except the jnz at 18 is "75 14"
//   24 BB B7 7D     mov  bx,7DB7h        ; offset byte of "Missing operating system"
//   27 08 D2        or   dl,dl
//   29 74 06        jz   show
//   2B 4B           dec  bx              ; 7DB6h: "Error loading operating system"
//   2C EB 03        jmp  show
//   2E BB B5 7D     invalid: mov bx,7DB5h ; "Invalid partition table"
//   31 8A 07        show: mov al,[bx]
//   33 B4 7D        mov  ah,7Dh
//   35 96           xchg si,ax
//   36 E8 06 00     call print
//   39 30 E4        xor  ah,ah
//   3B CD 16        int  16h
//   3D CD 19        int  19h
//   3F AC           print: lodsb
//   40 08 C0        or   al,al
//   42 74 09        jz   done
//   44 B4 0E        mov  ah,0Eh
//   46 BB 07 00     mov  bx,0007h
//   49 CD 10        int  10h
//   4B EB F2        jmp  print
//   4D C3           done: ret
const uint8_t kFixedCode[] = {
    0xFA, 0x31, 0xC0, 0x8E, 0xD0, 0xBC, 0x00, 0x7C, 0x8E, 0xD8, 0xFB, 0xFC, 0xBE, 0xBE, 0x7D, 0xB9,
    0x04, 0x00, 0x31, 0xD2, 0x8A, 0x04, 0xA8, 0x7F, 0x75, 0x14, 0xD0, 0xE0, 0x80, 0xD2, 0x00, 0x83,
    0xC6, 0x10, 0xE2, 0xF0, 0xBB, 0xB7, 0x7D, 0x08, 0xD2, 0x74, 0x06, 0x4B, 0xEB, 0x03, 0xBB, 0xB5,
    0x7D, 0x8A, 0x07, 0xB4, 0x7D, 0x96, 0xE8, 0x06, 0x00, 0x30, 0xE4, 0xCD, 0x16, 0xCD, 0x19, 0xAC,
    0x08, 0xC0, 0x74, 0x09, 0xB4, 0x0E, 0xBB, 0x07, 0x00, 0xCD, 0x10, 0xEB, 0xF2, 0xC3};

// Texts are stored with their terminating zero; the boot sector's end in CR LF.
void put(Image& image, size_t offset, const void* bytes, size_t length) {
  std::memcpy(image.data() + offset, bytes, length);
}
void putText(Image& image, size_t offset, const char* text) {
  put(image, offset, text, std::strlen(text) + 1);
}

Image makeBootSector() {
  Image image{};
  const uint8_t jump[] = {0xEB, 0x3C, 0x90};
  put(image, 0, jump, sizeof jump);
  put(image, 3, "TOVIKFMT", 8);
  put(image, 0x0B, kBootParameters, sizeof kBootParameters);
  put(image, 0x3E, kBootCode, sizeof kBootCode);
  putText(image, CBootImages::kBootInvalidSystem, "Invalid system disk\r\n");
  putText(image, CBootImages::kBootIoError, "Disk I/O error\r\n");
  putText(image, CBootImages::kBootReplaceDisk, "Replace the disk, and then press any key\r\n");
  image[510] = 0x55;
  image[511] = 0xAA;
  return image;
}

Image makeRemovableMbr() {
  Image image{};
  put(image, 0, kRemovableCode, sizeof kRemovableCode);
  putText(image, CBootImages::kRemovableInvalidTable, "Invalid partition table");
  putText(image, CBootImages::kRemovableLoadError, "Error loading operating system");
  putText(image, CBootImages::kRemovableMissing, "Missing operating system");
  image[510] = 0x55;
  image[511] = 0xAA;
  return image;
}

Image makeFixedDiskMbr() {
  Image image{};
  put(image, 0, kFixedCode, sizeof kFixedCode);
  putText(image, CBootImages::kFixedInvalidTable, "Invalid partition table");
  putText(image, CBootImages::kFixedLoadError, "Error loading operating system");
  putText(image, CBootImages::kFixedMissing, "Missing operating system");
  image[CBootImages::kFixedMessageTable + 0] = CBootImages::kFixedInvalidTable & 0xFF;
  image[CBootImages::kFixedMessageTable + 1] = CBootImages::kFixedLoadError & 0xFF;
  image[CBootImages::kFixedMessageTable + 2] = CBootImages::kFixedMissing & 0xFF;
  image[510] = 0x55;
  image[511] = 0xAA;
  return image;
}

}  // namespace

const CBootImages::Image& CBootImages::bootSector() {
  static const Image image = makeBootSector();
  return image;
}

const CBootImages::Image& CBootImages::removableMbr() {
  static const Image image = makeRemovableMbr();
  return image;
}

const CBootImages::Image& CBootImages::fixedDiskMbr() {
  static const Image image = makeFixedDiskMbr();
  return image;
}
