// Helpers for AM_MEDIA_TYPE records: copying, freeing and creating them with the COM task
// allocator, and matching a type against a partial one.
#pragma once

#include <windows.h>
#include <strmif.h>

// Releases what a media type owns (format block, pUnk) and leaves it empty. Safe on an empty
// record.
void FreeMediaType(AM_MEDIA_TYPE& mt);

// Frees a media type allocated with CreateMediaType (or handed out by IEnumMediaTypes::Next)
// and the record itself. Null is allowed.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);

// Deep-copies source into target, which must not own anything (the old contents are
// overwritten, not freed). E_POINTER for a null argument; E_OUTOFMEMORY leaves target empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// Allocates a deep copy with CoTaskMemAlloc; null when source is null or memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

// True when the major type, subtype or format type is GUID_NULL (a wildcard).
bool IsPartialMediaType(const AM_MEDIA_TYPE& mt);

// True when every field of the partial type that is not a wildcard matches the candidate.
bool MatchesPartialMediaType(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial);

// True when the two types are the same: GUIDs, sample fields and format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
