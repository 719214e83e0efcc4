#pragma once
// KvoASize.dll: finds the document page in a picture and straightens it.
//
// Call sequence (one at a time per handle; handles and jobs are independent of each other and of
// other threads' handles):
//   handle = kvoASize_Init(1);                   0 when the detector cannot start
//   kvoASize_SetOrientation(handle, 0);
//   status = 1; job = kvoASize_StartA(handle, 4, path, 0, 0, &status);
//   if (status == 0 && job != 0) kvoASize_SaveImageA(handle, 4, job, path, 0);
//   kvoASize_End(job);                           also with job 0
//   kvoASize_Clear(handle);                      also with handle 0
//
// StartA reads the BMP at path (1, 8 or 24 bits; bottom-up, top-down or RLE8) and looks for the page:
// the largest convex four-sided paper-bright region that stands out from the desk, not touching the
// picture's border, turned so that its text reads upright (the smallest turn when it holds no text). A
// page found with a low confidence counts as not found (status kKvoASizeUnsure). On success it
// sets *status to 0 and returns a job that holds the straightened page; otherwise it returns 0 and
// sets *status to a nonzero kvoASizeStatus value. The picture file is never changed by StartA.
// SaveImageA writes the job's page as a 24-bit BMP (upright rectangle of the page's measured size cut
// just inside its edges, perspective corrected, the source's pixels-per-metre fields) to path, replacing the
// file in one step; on failure the file at path is left as it was. Numeric arguments: Init's mode,
// StartA/SaveImageA's kind (4 = BMP file path) and the reserved zeros are accepted whatever their value;
// SetOrientation only accepts 0; other values are ignored.

#ifdef __cplusplus
extern "C" {
#endif

typedef void* KVOASIZE_HANDLE;
typedef void* KVOASIZE_JOB;

enum kvoASizeStatus {
    kKvoASizeOk = 0,
    kKvoASizeNotFound = 1,     // no page in the picture
    kKvoASizeBadPicture = 2,   // the file is missing or not a readable BMP
    kKvoASizeBadArgument = 3,  // no handle or no path
    kKvoASizeUnsure = 4,       // a page-like region, but its outline too weakly supported to trust
};

KVOASIZE_HANDLE kvoASize_Init(int mode);
void kvoASize_SetOrientation(KVOASIZE_HANDLE handle, int orientation);
KVOASIZE_JOB kvoASize_StartA(KVOASIZE_HANDLE handle, int kind, const char* path, int reserved1, int reserved2,
                             int* status);
void kvoASize_SaveImageA(KVOASIZE_HANDLE handle, int kind, KVOASIZE_JOB job, const char* path, int reserved);
void kvoASize_End(KVOASIZE_JOB job);
void kvoASize_Clear(KVOASIZE_HANDLE handle);

#ifdef __cplusplus
}
#endif
