#include "ocr/winrt_ocr_backend.h"

#include "base/log_event.h"
#include "ocr/winrt_async.h"
#include "ocr/winrt_interfaces.h"
#include "ocr/winrt_runtime.h"

namespace tovasen {
namespace {

using namespace winrt;

constexpr wchar_t kOcrEngineClass[] = L"Windows.Media.Ocr.OcrEngine";
constexpr wchar_t kSoftwareBitmapClass[] = L"Windows.Graphics.Imaging.SoftwareBitmap";

template <class Getter>
std::wstring ReadString(Getter&& get) {
    THString text;
    OleCheck(get(text.Put()));
    return text.Text();
}

TLanguage ReadLanguage(ILanguage& language) {
    TLanguage l;
    l.DisplayName = ReadString([&](HSTRING* s) { return language.get_DisplayName(s); });
    l.LanguageTag = ReadString([&](HSTRING* s) { return language.get_LanguageTag(s); });
    l.NativeName = ReadString([&](HSTRING* s) { return language.get_NativeName(s); });
    l.Script = ReadString([&](HSTRING* s) { return language.get_Script(s); });
    return l;
}

TComPtr<IOcrEngineStatics> EngineStatics() {
    EnsureComApartment();
    return GetActivationFactory<IOcrEngineStatics>(kOcrEngineClass);
}

TComPtr<IVectorView<ILanguage>> RecognizerLanguages(IOcrEngineStatics& statics) {
    TComPtr<IVectorView<ILanguage>> languages;
    OleCheck(statics.get_AvailableRecognizerLanguages(languages.Put()));
    return languages;
}

UINT32 SizeOf(auto& vector) {
    UINT32 size = 0;
    OleCheck(vector.get_Size(&size));
    return size;
}

// Reads a finished operation's result. Runs on the runtime's thread and touches nothing else.
TResult ReadResult(IAsyncOperation<IOcrResult>& operation) {
    TResult result;
    result.Status = TStatus::stCompleted;
    TComPtr<IOcrResult> ocr;
    OleCheck(operation.GetResults(ocr.Put()));
    if (!ocr) throw EWinRtError(L"The engine returned no result", E_POINTER);
    result.Text = ReadString([&](HSTRING* s) { return ocr->get_Text(s); });
    TComPtr<IReferenceOfDouble> angle;
    OleCheck(ocr->get_TextAngle(angle.Put()));
    if (angle) OleCheck(angle->get_Value(&result.TextAngle));
    TComPtr<IVectorView<IOcrLine>> lines;
    OleCheck(ocr->get_Lines(lines.Put()));
    const UINT32 lineCount = SizeOf(*lines);
    result.Lines.resize(lineCount);
    for (UINT32 i = 0; i < lineCount; ++i) {
        TComPtr<IOcrLine> line;
        OleCheck(lines->GetAt(i, line.Put()));
        TLine& out = result.Lines[i];
        out.Text = ReadString([&](HSTRING* s) { return line->get_Text(s); });
        TComPtr<IVectorView<IOcrWord>> words;
        OleCheck(line->get_Words(words.Put()));
        const UINT32 wordCount = SizeOf(*words);
        out.Words.resize(wordCount);
        for (UINT32 j = 0; j < wordCount; ++j) {
            TComPtr<IOcrWord> word;
            OleCheck(words->GetAt(j, word.Put()));
            out.Words[j].Text = ReadString([&](HSTRING* s) { return word->get_Text(s); });
            Rect box{};
            OleCheck(word->get_BoundingRect(&box));
            out.Words[j].Rect = {box.X, box.Y, box.Width, box.Height};
        }
    }
    return result;
}

class TWinRtOcrJob : public TOcrJob {
public:
    TWinRtOcrJob(TComPtr<IOcrEngine> engine, TComPtr<ISoftwareBitmap> bitmap)
        : FEngine(std::move(engine)), FBitmap(std::move(bitmap)) {}

    void Start(std::function<void(TResult)> done) override {
        OleCheck(FEngine->RecognizeAsync(FBitmap.Get(), FOperation.Put()));
        auto handler = TComPtr<IAsyncOperationCompletedHandler<IOcrResult>>::Attach(
            TCompletedHandler<IOcrResult>::Create([done = std::move(done)](IAsyncOperation<IOcrResult>* operation,
                                                                           AsyncStatus status) {
                TResult result;
                result.Status = StatusOf(static_cast<int>(status));
                HRESULT answer = S_OK;
                if (result.Status == TStatus::stCompleted) {
                    try {
                        result = ReadResult(*operation);
                    } catch (const EWinRtError& e) {
                        // Reported as a failed recognition: the caller waits for a result.
                        LogCaught(L"ocr", std::current_exception());
                        result = TResult{};
                        answer = e.ErrorCode();
                    } catch (const std::exception&) {
                        LogCaught(L"ocr", std::current_exception());
                        result = TResult{};
                        answer = E_FAIL;
                    }
                }
                done(std::move(result));
                return answer;
            }));
        OleCheck(FOperation->put_Completed(handler.Get()));
    }
    void Cancel() noexcept override {
        Guarded([&] {
            if (FOperation) OleCheck(QueryOrRaise<IAsyncInfo>(FOperation)->Cancel());
        });
    }
    void Close() noexcept override {
        Guarded([&] {
            if (!FOperation) return;
            const auto info = QueryOrRaise<IAsyncInfo>(FOperation);
            info->Cancel();
            // Closing a running operation is refused by the runtime; the cancel above suffices.
            info->Close();
        });
    }

private:
    TComPtr<IOcrEngine> FEngine;
    TComPtr<ISoftwareBitmap> FBitmap;
    TComPtr<IAsyncOperation<IOcrResult>> FOperation;
};

class TWinRtOcrEngine : public TOcrEngine {
public:
    explicit TWinRtOcrEngine(TComPtr<IOcrEngine> engine) : FEngine(std::move(engine)) {}

    std::unique_ptr<TOcrJob> Prepare(int width, int height, const std::function<void(const TOcrPlane&)>& fill) override {
        const auto factory = GetActivationFactory<ISoftwareBitmapFactory>(kSoftwareBitmapClass);
        TComPtr<ISoftwareBitmap> bitmap;
        OleCheck(factory->Create(BitmapPixelFormat::Bgra8, width, height, bitmap.Put()));
        {
            TComPtr<IBitmapBuffer> buffer;
            OleCheck(bitmap->LockBuffer(BitmapBufferAccessMode::Write, buffer.Put()));
            // The reference and the buffer are closed whatever happens while writing.
            struct Closer {
                TComPtr<IClosable> closable;
                ~Closer() {
                    if (closable) closable->Close();
                }
            };
            const Closer closeBuffer{buffer.Query<IClosable>()};
            BitmapPlaneDescription plane{};
            OleCheck(buffer->GetPlaneDescription(0, &plane));
            TComPtr<IMemoryBufferReference> reference;
            {
                TComPtr<IMemoryBuffer> memory;
                WinRtCheck(buffer.QueryTo(memory));
                WinRtCheck(memory->CreateReference(reference.Put()));
            }
            const Closer closeReference{reference.Query<IClosable>()};
            TComPtr<IMemoryBufferByteAccess> access;
            WinRtCheck(reference.QueryTo(access));
            BYTE* data = nullptr;
            UINT32 capacity = 0;
            WinRtCheck(access->GetBuffer(&data, &capacity));
            fill(TOcrPlane{data, capacity, plane.StartIndex, plane.Stride, plane.Width, plane.Height});
        }
        return std::make_unique<TWinRtOcrJob>(std::move(FEngine), std::move(bitmap));
    }

private:
    TComPtr<IOcrEngine> FEngine;
};

class TWinRtOcrBackend : public TOcrBackend {
public:
    TLanguages AvailableLanguages() override {
        const auto statics = EngineStatics();
        const auto languages = RecognizerLanguages(*statics);
        TLanguages result(SizeOf(*languages));
        for (UINT32 i = 0; i < result.size(); ++i) {
            TComPtr<ILanguage> language;
            OleCheck(languages->GetAt(i, language.Put()));
            result[i] = ReadLanguage(*language);
        }
        return result;
    }
    int MaxImageDimension() override {
        UINT32 value = 0;
        OleCheck(EngineStatics()->get_MaxImageDimension(&value));
        return static_cast<int>(value);
    }
    std::unique_ptr<TOcrEngine> CreateEngine(const TLanguage& wanted) override {
        const auto statics = EngineStatics();
        const auto languages = RecognizerLanguages(*statics);
        const UINT32 count = SizeOf(*languages);
        for (UINT32 i = 0; i < count; ++i) {
            TComPtr<ILanguage> language;
            OleCheck(languages->GetAt(i, language.Put()));
            if (!FindLanguage(TLanguages{ReadLanguage(*language)}, wanted)) continue;
            TComPtr<IOcrEngine> engine;
            OleCheck(statics->TryCreateFromLanguage(language.Get(), engine.Put()));
            if (!engine) return nullptr;  // created "successfully" as nothing
            return std::make_unique<TWinRtOcrEngine>(std::move(engine));
        }
        return nullptr;
    }
};

}  // namespace

std::shared_ptr<TOcrBackend> CreateWinRtOcrBackend() { return std::make_shared<TWinRtOcrBackend>(); }

}  // namespace tovasen
