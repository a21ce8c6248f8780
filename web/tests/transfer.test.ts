import { describe, expect, it } from "vitest";
import { durationText, TransferRate, transferText } from "../src/transfer";

describe("a transfer in words", () => {
    it("measures the speed over the last seconds, not the whole transfer", () => {
        const rate = new TransferRate(3000);
        rate.add(0, 0);
        expect(rate.perSecond()).toBeNull();
        rate.add(199, 1000);
        expect(rate.perSecond()).toBeNull(); // too short to say
        rate.add(200, 1000);
        expect(rate.perSecond()).toBe(5000);
        // Fast for 10 s, then 1 s slow: the speed shown is near the slow one, not the average.
        const slowing = new TransferRate(3000);
        for (let t = 0; t <= 10000; t += 500)
            slowing.add(t, t * 1000);
        slowing.add(13000, 10_000_000 + 3000);
        expect(slowing.perSecond()).toBeLessThan(1_000_000);
    });

    it("says what is known: size, speed, and time left", () => {
        expect(transferText({ current: 512, total: 0, perSecond: null })).toBe("512 bytes");
        expect(transferText({ current: 512, total: 1000, perSecond: null })).toBe("512 bytes of 1 kB");
        expect(transferText({ current: 512, total: 1000, perSecond: 0 })).toBe("512 bytes of 1 kB");
        expect(transferText({ current: 1500, total: 1500, perSecond: 100 })).toBe("1.5 kB of 1.5 kB, 100 byte/s");
        expect(transferText({ current: 0, total: 3_000_000, perSecond: 1_000_000 })).toBe("0 bytes of 3 MB, 1 MB/s, 3 sec left");
    });

    it("rounds a time left up, never to nothing", () => {
        expect(durationText(0.2)).toBe("1 sec");
        expect(durationText(0)).toBe("1 sec");
        expect(durationText(59)).toBe("59 sec");
        expect(durationText(60)).toBe("1 min, 0 sec");
        expect(durationText(3599)).toBe("59 min, 59 sec");
        expect(durationText(3600 + 65)).toBe("1 hr, 1 min");
    });
});
