// Fetch: "http://" URLs read as streams. The example starts a tiny web server
// of its own on 127.0.0.1 (a thread that answers two requests), then reads a
// text from it line by line and loads a picture from it into a bank, which
// LoadImage takes as it takes a file name.
#include <zandrel/zandrel.hpp>

#include <string>
#include <thread>
#include <vector>

using namespace zandrel;

namespace {

constexpr uint32_t Localhost = 0x7F000001; // 127.0.0.1

// Answers each request with the body its path names: /picture.png or the text.
void Serve(Ref<TSocket> listener, std::string picture, int requests) {
    std::string text = "Hello from a tiny server.\nThis came as an HTTP/1.0 reply\n"
                       "read through an http:// stream.\n";
    for (int i = 0; i < requests; ++i) {
        auto client = Accept(listener, 5000);
        if (!client) return;
        char request[1024] = {};
        Recv(client, request, sizeof request - 1);
        bool wantsPicture = std::string(request).find("GET /picture.png") == 0;
        const std::string& body = wantsPicture ? picture : text;
        std::string reply =
            "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        for (size_t sent = 0; sent < reply.size();) {
            int count = Send(client, reply.data() + sent, static_cast<int>(reply.size() - sent));
            if (count <= 0) break;
            sent += static_cast<size_t>(count);
        }
        Close(client);
    }
}

std::vector<String> ReadLines(const Url& url) {
    std::vector<String> lines;
    if (auto stream = OpenReadStream(url))
        while (!stream->Eof())
            lines.push_back(ReadLine(stream));
    return lines;
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Fetch");
        if (!OpenGraphics(640, 480, 0, 60)) ExitWithError(LastLoadError()); // prints why
        SetBlendMode(BlendMode::Alpha); // smooth edges; the default, Mask, is jagged
        SetClearColor(20, 34, 44);

        auto listener = CreateTCPSocket();
        if (!listener || !Bind(listener, 0, Localhost) || !Listen(listener, 4)) return 1;
        std::string server = "http://127.0.0.1:" + std::to_string(LocalPort(listener));
        std::thread thread(Serve, listener, ToBytes(LoadByteString("picture.png")), 2);
        auto lines = ReadLines(server + "/greeting.txt");
        auto bank = LoadBank(server + "/picture.png");
        thread.join();
        auto picture = bank ? LoadImage(bank) : nullptr;
        if (picture) CentreImageHandle(picture);

        float angle = 0;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            ClearScreen();
            SetColor(255, 255, 255);
            DrawText("Server: " + server, 16, 16);
            float y = 48;
            for (auto& line : lines) {
                DrawText(line, 16, y);
                y += 20;
            }
            if (picture) {
                DrawText("picture.png: " + std::to_string(bank->Size()) + " bytes", 16, y + 12);
                SetRotation(angle);
                SetScale(3, 3);
                DrawImage(picture, 320, 300);
                SetTransform(0, 1, 1);
            } else {
                DrawText("The picture could not be fetched.", 16, y + 12);
            }
            angle += 0.5f;
            Flip();
        }
        return 0;
    });
}
