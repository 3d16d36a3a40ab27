#pragma once
// A fetch for the vendor cores' look-ups that answers from a script instead of the network
// and keeps every request it was given, so a test sees a look-up's whole request sequence.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "vendors/lookup.h"

class ScriptedFetch {
  public:
    // Answers a request by its address; a request for an address without an answer fails.
    void answer(const std::string& address, std::string body) {
        answers_[address] = {std::move(body), false};
    }
    void fail(const std::string& address) { answers_[address] = {{}, true}; }
    // Answers with `body`, or fails where there is none.
    void reply(const std::string& address, std::optional<std::string> body) {
        answers_[address] = body ? FetchReply{std::move(*body), false} : FetchReply{{}, true};
    }
    // Answers every request, in place of the table.
    void answerAll(std::function<FetchReply(const FetchRequest&)> responder) {
        responder_ = std::move(responder);
    }

    LookupContext context() {
        LookupContext ctx;
        ctx.fetch = [this](const FetchRequest& request) {
            requests.push_back(request);
            if (responder_) return responder_(request);
            const auto found = answers_.find(request.address);
            return found == answers_.end() ? FetchReply{{}, true} : found->second;
        };
        return ctx;
    }

    std::vector<std::string> addresses() const {
        std::vector<std::string> out;
        for (const FetchRequest& r : requests) out.push_back(r.address);
        return out;
    }

    std::vector<FetchRequest> requests;

  private:
    std::map<std::string, FetchReply> answers_;
    std::function<FetchReply(const FetchRequest&)> responder_;
};
