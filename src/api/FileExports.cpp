// The sound file exports: WAV readers and writers in the sound file registry.
#include "core/ErrorCodes.h"
#include "core/Registries.h"
#include "file/SoundFileReader.h"
#include "file/SoundFileWriter.h"
#include "host/HostRuntime.h"
#include "tonewell/tonewell.h"

using namespace tw;

namespace {

// Registers a file whose construction succeeded; deletes it otherwise.
int32_t registerFile(SoundFile* file, TaskRefnum* refnumOut) {
    const int32_t status = file->status();
    if (status != 0) {
        delete file;
        return status;
    }
    const TaskRefnum refnum = soundFileRegistry().add(file);
    if (refnumOut) *refnumOut = refnum;
    return err::kOk;
}

// The file behind `refnum` when it is of `kind`, else null (treated like an
// unknown refnum).
template <typename T>
T* fileOfKind(Acquired<SoundFile>& file, int32_t kind) {
    return file && file->getKind() == kind ? static_cast<T*>(file.get()) : nullptr;
}

// The host resizes through a pointer to the handle, and takes the type code
// widened with its sign.
void emptyArray(TwArrayHandle data, uint16_t typeCode) {
    if (data != nullptr)
        host::sizeArray(static_cast<int16_t>(typeCode), 2, reinterpret_cast<void***>(&data), 0);
}

}  // namespace

extern "C" {

TONEWELL_API int32_t SoundReadFileOpen(TwStringHandle path, TaskRefnum* refnumOut) {
    return registerFile(new SoundFileReader(path), refnumOut);
}

TONEWELL_API int32_t SoundReadFileData(TaskRefnum refnum, int32_t seekMode, int32_t seekOffset,
                                       int32_t samplesToRead, uint16_t sampleType, int32_t /*reserved*/,
                                       TwArrayHandle data, int32_t* samplesRead, uint8_t* endOfFile) {
    Acquired<SoundFile> file(soundFileRegistry(), refnum, true);
    auto* reader = fileOfKind<SoundFileReader>(file, SoundFile::kReader);
    int32_t result = err::kBadRefnum;
    int32_t frames = 0;
    bool atEnd = false;
    if (reader) {
        // Mode 2 with offset 0 reads on from where the last read ended.
        result = seekMode == 2 && seekOffset == 0 ? err::kOk : reader->seek(seekMode, seekOffset);
        if (result == 0) result = reader->read(samplesToRead, sampleType, data, frames, atEnd);
        if (endOfFile) *endOfFile = atEnd && result == 0 ? 1 : 0;
    }
    if (result != 0) {
        frames = 0;
        emptyArray(data, sampleType);
    }
    if (samplesRead && (reader || result != 0)) *samplesRead = frames;
    return result;
}

TONEWELL_API int32_t SoundReadFileSamplesRead(TaskRefnum refnum, int32_t* samplesRead) {
    Acquired<SoundFile> file(soundFileRegistry(), refnum, false);
    auto* reader = fileOfKind<SoundFileReader>(file, SoundFile::kReader);
    if (samplesRead) *samplesRead = reader ? static_cast<int32_t>(reader->samplesRead()) : 0;
    return reader ? err::kOk : err::kBadRefnum;
}

TONEWELL_API int32_t SoundFileInfoRef(TaskRefnum refnum, int32_t /*reserved*/, double* sampleRate,
                                      int32_t* channels, int32_t* bitsPerSample, double* durationSeconds,
                                      int32_t* totalSamples) {
    Acquired<SoundFile> file(soundFileRegistry(), refnum, false);
    auto* reader = fileOfKind<SoundFileReader>(file, SoundFile::kReader);
    if (!reader) return err::kBadRefnum;
    if (sampleRate) *sampleRate = reader->sampleRate();
    if (channels) *channels = static_cast<int32_t>(reader->channels());
    if (bitsPerSample) *bitsPerSample = static_cast<int32_t>(reader->bitsPerSample());
    if (durationSeconds) *durationSeconds = reader->durationSeconds();
    if (totalSamples) *totalSamples = static_cast<int32_t>(reader->totalSamples());
    return err::kOk;
}

TONEWELL_API int32_t SoundWriteFileOpen(TwStringHandle path, TaskRefnum* refnumOut, double sampleRate,
                                        int32_t channels, int32_t bitsPerSample) {
    return registerFile(new SoundFileWriter(path, sampleRate, channels, bitsPerSample), refnumOut);
}

TONEWELL_API int32_t SoundWriteFileData(TaskRefnum refnum, TwArrayHandle data, int32_t* samplesWritten,
                                        uint16_t sampleType) {
    Acquired<SoundFile> file(soundFileRegistry(), refnum, true);
    auto* writer = fileOfKind<SoundFileWriter>(file, SoundFile::kWriter);
    if (!writer) return err::kBadRefnum;
    int32_t frames = 0;
    const int32_t result = writer->write(data, sampleType, frames);
    if (samplesWritten) *samplesWritten = frames;
    return result;
}

TONEWELL_API int32_t SoundWriteFileSamplesWritten(TaskRefnum refnum, int32_t* samplesWritten) {
    Acquired<SoundFile> file(soundFileRegistry(), refnum, false);
    auto* writer = fileOfKind<SoundFileWriter>(file, SoundFile::kWriter);
    if (samplesWritten) *samplesWritten = writer ? static_cast<int32_t>(writer->samplesWritten()) : 0;
    return writer ? err::kOk : err::kBadRefnum;
}

TONEWELL_API int32_t SoundFileClose(TaskRefnum refnum) {
    return soundFileRegistry().remove(refnum) == 0 ? err::kOk : err::kBadRefnum;
}

}  // extern "C"
