// A transfer as people read it: sizes, the speed measured over the last seconds, and the time left.

import { format } from "./texts";

/** Sizes as people read them: 1.5 MiB. Counts above 2 GiB may arrive as negative 32-bit numbers. */
export function byteText(count: number): string {
    const bytes = count < 0 ? count + 2 ** 32 : count;
    const units = ["bytes", "KiB", "MiB", "GiB"];
    let value = bytes;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
        value /= 1024;
        ++unit;
    }
    return unit === 0 ? `${value} ${units[0]}` : `${value.toFixed(1)} ${units[unit]}`;
}

/** "45 s", "2 min 5 s", "1 h 3 min". */
export function durationText(seconds: number): string {
    const whole = Math.max(Math.ceil(seconds), 0);
    if (whole < 60)
        return format("durationSeconds", { s: whole });
    if (whole < 3600)
        return format("durationMinutes", { m: Math.floor(whole / 60), s: whole % 60 });
    return format("durationHours", { h: Math.floor(whole / 3600), m: Math.floor((whole % 3600) / 60) });
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

/** "1.2 MiB of 3.4 MiB, 850.0 KiB/s, 3 s left": what is known of it. */
export function transferText(transfer: Transfer): string {
    const parts = [transfer.total > 0 ? format("bytesOf", { current: byteText(transfer.current), total: byteText(transfer.total) }) : byteText(transfer.current)];
    if (transfer.perSecond !== null && transfer.perSecond > 0) {
        parts.push(format("speed", { size: byteText(Math.round(transfer.perSecond)) }));
        if (transfer.total > transfer.current)
            parts.push(format("timeLeft", { time: durationText((transfer.total - transfer.current) / transfer.perSecond) }));
    }
    return parts.join(", ");
}
