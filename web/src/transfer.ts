// A transfer as people read it: sizes, the speed measured over the last seconds, and the time left,
// each written by Intl for the language in use (sizes in SI units: 1 kB is 1000 bytes).

import { format, intlLocale } from "./texts";

const units = ["kilobyte", "megabyte", "gigabyte", "terabyte"] as const;

/** A byte count scaled to its unit: ["megabyte", 1.5] for 1.5 MB. Counts above 2 GiB may arrive as
 *  negative 32-bit numbers. */
function scaled(count: number): [string, number] {
    let value = count < 0 ? count + 2 ** 32 : count;
    if (value < 1000)
        return ["byte", value];
    let unit = 0;
    value /= 1000;
    while (value >= 1000 && unit < units.length - 1) {
        value /= 1000;
        ++unit;
    }
    return [units[unit], value];
}

/** "512 bytes", "1.5 MB". */
export function byteText(count: number): string {
    const [unit, value] = scaled(count);
    return new Intl.NumberFormat(intlLocale(), { style: "unit", unit, unitDisplay: unit === "byte" ? "long" : "short", maximumFractionDigits: 1 })
        .format(value);
}

/** "1.5 MB/s". */
export function speedText(bytesPerSecond: number): string {
    const [unit, value] = scaled(bytesPerSecond);
    return new Intl.NumberFormat(intlLocale(), { style: "unit", unit: `${unit}-per-second`, unitDisplay: "short", maximumFractionDigits: 1 })
        .format(value);
}

/** "45 sec", "2 min, 5 sec", "1 hr, 3 min": rounded up, never to nothing. */
export function durationText(seconds: number): string {
    const whole = Math.max(Math.ceil(seconds), 1);
    const part = (value: number, unit: string) => new Intl.NumberFormat(intlLocale(), { style: "unit", unit, unitDisplay: "short" }).format(value);
    const parts = whole < 60 ? [part(whole, "second")]
        : whole < 3600 ? [part(Math.floor(whole / 60), "minute"), part(whole % 60, "second")]
            : [part(Math.floor(whole / 3600), "hour"), part(Math.floor((whole % 3600) / 60), "minute")];
    return new Intl.ListFormat(intlLocale(), { type: "unit", style: "short" }).format(parts);
}

/** The speed of one transfer over its last few seconds (a whole-transfer average would hide a
 *  connection that has just slowed down). Times in milliseconds. */
export class TransferRate {
    private samples: { time: number; bytes: number }[] = [];

    constructor(private readonly windowMs = 3000) {}

    add(time: number, bytes: number): void {
        this.samples.push({ time, bytes });
        while (this.samples.length > 2 && time - this.samples[1].time >= this.windowMs)
            this.samples.shift();
    }

    /** Bytes per second; null until two reports at least 0.2 s apart have come. */
    perSecond(): number | null {
        const first = this.samples[0];
        const last = this.samples[this.samples.length - 1];
        if (!first || last.time - first.time < 200)
            return null;
        return Math.max(last.bytes - first.bytes, 0) / ((last.time - first.time) / 1000);
    }
}

export interface Transfer {
    current: number;
    total: number;
    /** Bytes per second; null while unknown. */
    perSecond: number | null;
}

/** "1.2 MB of 3.4 MB, 850 kB/s, 3 sec left": what is known of it. */
export function transferText(transfer: Transfer): string {
    const parts = [transfer.total > 0 ? format("bytesOf", { current: byteText(transfer.current), total: byteText(transfer.total) }) : byteText(transfer.current)];
    if (transfer.perSecond !== null && transfer.perSecond > 0) {
        parts.push(speedText(transfer.perSecond));
        if (transfer.total > transfer.current)
            parts.push(format("timeLeft", { time: durationText((transfer.total - transfer.current) / transfer.perSecond) }));
    }
    return parts.join(", ");
}
