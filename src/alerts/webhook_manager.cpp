#include "alerts/webhook_manager.h"

#include <array>
#include <utility>

#include "alerts/web_address.h"
#include "support/tr.h"

namespace vigilo {

namespace {

const std::string kTextPrefix = "Vigilo \u2014 ";

struct Delivery {
    WebhookConfig config;
    std::string text, title, body, event;
    WebhookService* service;
    std::function<void()> finished;
};

// Sends through the channels from `channel` on, each after the previous one
// has answered.
void deliverFrom(std::shared_ptr<Delivery> job, int channel) {
    auto next = [job, channel](bool) { deliverFrom(job, channel + 1); };
    const auto& c = job->config;
    switch (channel) {
    case 0:
        if (c.telegramEnabled) return job->service->sendTelegram(c.telegramToken, c.telegramChatID, job->text, next);
        return next(false);
    case 1:
        if (c.discordEnabled) return job->service->sendDiscord(c.discordURL, job->text, next);
        return next(false);
    case 2:
        if (c.slackEnabled) return job->service->sendSlack(c.slackURL, job->text, next);
        return next(false);
    case 3:
        if (c.genericEnabled && isValidHttpUrl(c.genericURL)) {
            return job->service->postJSON(
                c.genericURL,
                {{"title", job->title}, {"body", job->body}, {"event", job->event}, {"app", "Vigilo"}}, "generic",
                next);
        }
        return next(false);
    default:
        if (job->finished) job->finished();
    }
}

}  // namespace

WebhookManager::WebhookManager(Loop& loop, CredentialStore& store, WebhookService& service)
    : loop_(loop), store_(store), service_(service) {}

// Whichever asks first reads; a read already under way is waited for and
// its answer shared.
std::optional<std::string> WebhookManager::readOnce(Stored& stored, CredentialStore& store) {
    std::lock_guard lock(stored.mutex);
    if (!stored.read) {
        stored.text = store.read();
        stored.read = true;
    }
    return stored.text;
}

Published<WebhookConfig>& WebhookManager::config() {
    if (reading_ != Reading::done) adopt(readOnce(*stored_, store_));
    return config_;
}

void WebhookManager::adopt(const std::optional<std::string>& text) {
    if (reading_ == Reading::done) return;  // a configuration was set meanwhile
    if (text) {
        if (auto decoded = decodeWebhookConfig(*text)) config_.publish(std::move(*decoded));
    }
    finishReading();
}

void WebhookManager::finishReading() {
    reading_ = Reading::done;
    auto waiting = std::move(waitingForRead_);
    waitingForRead_.clear();
    for (auto& work : waiting) work();
}

void WebhookManager::whenRead(std::function<void()> work) {
    if (reading_ == Reading::done) return work();
    waitingForRead_.push_back(std::move(work));
    if (reading_ == Reading::underWay) return;
    reading_ = Reading::underWay;
    loop_.runInBackground([stored = stored_, &store = store_] { return readOnce(*stored, store); },
                          [this, alive = life_.weak()](std::optional<std::string> text) {
                              if (alive.lock()) adopt(text);
                          });
}

void WebhookManager::setConfig(Config config) {
    config_.publish(std::move(config));
    std::uint64_t generation;
    {
        std::lock_guard lock(stored_->mutex);
        generation = ++stored_->latestWrite;
    }
    loop_.runInBackground([stored = stored_, generation, &store = store_, log = log_,
                           text = encodeWebhookConfig(config_.get())] {
        std::lock_guard lock(stored->mutex);
        if (generation != stored->latestWrite) return;  // a newer configuration follows
        if (auto error = store.write(text)) log.error("Could not save the webhook settings: {}", *error);
    });
    if (reading_ != Reading::done) finishReading();
}

void WebhookManager::send(const std::string& title, const std::string& body, const std::string& event,
                          std::function<void()> finished) {
    whenRead([this, title, body, event, finished = std::move(finished)]() mutable {
        sendNow(title, body, event, std::move(finished));
    });
}

void WebhookManager::sendNow(const std::string& title, const std::string& body, const std::string& event,
                             std::function<void()> finished) {
    const Config config = config_.get();
    if (!config.anyEnabled()) {
        if (finished) finished();
        return;
    }
    auto job = std::make_shared<Delivery>(
        Delivery{config, kTextPrefix + title + "\n" + body, title, body, event, &service_, std::move(finished)});
    deliverFrom(std::move(job), 0);
}

void WebhookManager::test(Channel channel, std::function<void(bool)> done) {
    whenRead([this, channel, done = std::move(done)]() mutable { testNow(channel, std::move(done)); });
}

void WebhookManager::testNow(Channel channel, std::function<void(bool)> done) {
    const Config& c = config_.get();
    const std::string text = kTextPrefix + tr("Test alert. Webhooks are working. \U0001F389");
    auto reply = [&loop = loop_, alive = life_.weak(), done = std::move(done)](bool sent) {
        loop.post([alive, done, sent] {
            if (alive.lock()) done(sent);
        });
    };
    switch (channel) {
    case Channel::telegram:
        return service_.sendTelegram(c.telegramToken, c.telegramChatID, text, std::move(reply));
    case Channel::discord:
        return service_.sendDiscord(c.discordURL, text, std::move(reply));
    case Channel::slack:
        return service_.sendSlack(c.slackURL, text, std::move(reply));
    case Channel::generic:
        if (!isValidHttpUrl(c.genericURL)) return reply(false);
        return service_.postJSON(c.genericURL,
                                 {{"title", tr("Test alert")},
                                  {"body", tr("Webhooks are working.")},
                                  {"event", "test"},
                                  {"app", "Vigilo"}},
                                 "generic", std::move(reply));
    }
}

}  // namespace vigilo
