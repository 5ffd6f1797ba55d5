#pragma once
// Wave formats, buffer headers and result codes of the waveOut, PlaySound and ACM calls,
// with the values the player relies on.

#include <cstdint>

namespace audio {

using MMRESULT = uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;
inline constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
inline constexpr uint32_t MPEGLAYER3_FLAG_PADDING_OFF = 2;

struct WAVEFORMATEX {
  uint16_t wFormatTag = WAVE_FORMAT_PCM;
  uint16_t nChannels = 2;
  uint32_t nSamplesPerSec = 22050;
  uint32_t nAvgBytesPerSec = 44100;
  uint16_t nBlockAlign = 2;
  uint16_t wBitsPerSample = 8;
  uint16_t cbSize = 0;
};

struct MPEGLAYER3WAVEFORMAT {
  WAVEFORMATEX wfx;
  uint16_t wID = 0;
  uint32_t fdwFlags = 0;
  uint16_t nBlockSize = 0;
  uint16_t nFramesPerBlock = 0;
  uint16_t nCodecDelay = 0;
};

// Output buffer header (WAVEHDR).
inline constexpr uint32_t WHDR_DONE = 0x01;
inline constexpr uint32_t WHDR_PREPARED = 0x02;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;
struct WAVEHDR {
  uint8_t* lpData = nullptr;
  uint32_t dwBufferLength = 0;
  uint32_t dwFlags = 0;
};

// waveOut callback messages.
inline constexpr uint32_t WOM_OPEN = 0x3BB;
inline constexpr uint32_t WOM_CLOSE = 0x3BC;
inline constexpr uint32_t WOM_DONE = 0x3BD;

// Conversion stream header (ACMSTREAMHEADER).
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;
struct ACMSTREAMHEADER {
  uint32_t cbStruct = 84;
  uint32_t fdwStatus = 0;
  uint8_t* pbSrc = nullptr;
  uint32_t cbSrcLength = 0;
  uint32_t cbSrcLengthUsed = 0;
  uint8_t* pbDst = nullptr;
  uint32_t cbDstLength = 0;
  uint32_t cbDstLengthUsed = 0;
};

inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr uint32_t ACM_STREAMCONVERTF_END = 0x00000020;
inline constexpr uint32_t ACM_FORMATTAGDETAILSF_FORMATTAG = 0x00000001;

// PlaySound flags.
inline constexpr uint32_t SND_SYNC = 0x0000;
inline constexpr uint32_t SND_ASYNC = 0x0001;
inline constexpr uint32_t SND_NODEFAULT = 0x0002;
inline constexpr uint32_t SND_MEMORY = 0x0004;
inline constexpr uint32_t SND_LOOP = 0x0008;

// A plain PCM format (8-bit unsigned or 16-bit signed little-endian samples).
WAVEFORMATEX PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);
// Whether the format is PCM with 1 or 2 channels, 8 or 16 bits, a rate from 1000 to 192000
// Hz and consistent block align and byte rate.
bool IsPlayablePcm(const WAVEFORMATEX& format);

}  // namespace audio
