#pragma once
// fasize.dll: finds business cards in a picture and straightens each.
//
// Call sequence (one at a time per handle):
//   handle = kvoFASize_Init(100, 1);            0 when the detector cannot start
//   kvoFASize_SetOrientation(handle, 0);
//   status = 1; job = kvoFASize_StartA(handle, path, 0, &status);
//   if (status == 0 && job != 0) kvoFASize_SaveImageA(handle, job, path, 0);
//   kvoFASize_End(job);                         also with job 0
//   kvoFASize_Clear(handle);                    also with handle 0
//
// Init(max_cards, mode): max_cards (clamped to 1..100) bounds the cards reported; mode is accepted
// whatever its value. StartA reads the BMP at path and finds every card: a convex four-sided region
// with a card's proportions (long side 1.3 to 2.1 times the short side) standing out from the desk.
// On success (one card or more) it sets *status to 0 and returns a job; otherwise it returns 0 and sets
// *status to a nonzero kvoFASizeStatus value. StartA removes a card list left beside the picture by an
// earlier run (so that it is never counted for this picture) and changes no other file.
// SaveImageA(handle, job, path, 0) writes, each file replaced in one step:
//   - each card straightened to an upright 24-bit BMP of its measured size, with the source's
//     pixels-per-metre fields and the turn closest to its position on the desk;
//     one card: the picture at path is overwritten with it;
//     two or more: card i (from 1, in reading order: rows top to bottom, left to right) goes to
//     path's folder + base name + i in four digits + path's extension ("x/Kvo~Vellumo0001.bmp"),
//     and the picture at path is left as it was;
//   - the card list file: path with the extension after its last "." replaced by "txt" (or "." +
//     "txt" appended when the name has no "."), UTF-16LE text with a byte-order mark and CR LF line
//     ends: a header line "[Cards] Count=<n>", then one line per card
//     "No=<i> File=<card file> Left=<x> Top=<y> Width=<w> Height=<h> Angle=<degrees>".
//   The list is written first; when a file cannot be written the list and the card files already
//   written are removed again, and a picture overwritten by one card stays as it was.
// SetOrientation only accepts 0; other values are ignored.

#ifdef __cplusplus
extern "C" {
#endif

typedef void* KVOFASIZE_HANDLE;
typedef void* KVOFASIZE_JOB;

enum kvoFASizeStatus {
    kKvoFASizeOk = 0,
    kKvoFASizeNotFound = 1,
    kKvoFASizeBadPicture = 2,
    kKvoFASizeBadArgument = 3,
};

KVOFASIZE_HANDLE kvoFASize_Init(int max_cards, int mode);
void kvoFASize_SetOrientation(KVOFASIZE_HANDLE handle, int orientation);
KVOFASIZE_JOB kvoFASize_StartA(KVOFASIZE_HANDLE handle, const char* path, int reserved, int* status);
void kvoFASize_SaveImageA(KVOFASIZE_HANDLE handle, KVOFASIZE_JOB job, const char* path, int reserved);
void kvoFASize_End(KVOFASIZE_JOB job);
void kvoFASize_Clear(KVOFASIZE_HANDLE handle);

#ifdef __cplusplus
}
#endif
