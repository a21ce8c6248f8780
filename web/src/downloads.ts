// The Downloads panel: each file the catalog offers, fetched into the download folder through the
// engine (which asks the server for the address on the download's thread), with its progress and a
// Cancel button.

import type { CatalogDownload } from "./catalog";
import { el } from "./dom";
import { format } from "./texts";

export type DownloadState =
    | { phase: "idle" }
    | { phase: "running"; current: number; total: number }
    | { phase: "done"; path: string }
    | { phase: "failed"; code: number }
    | { phase: "noAddress" }
    | { phase: "cancelled" };

/** Sizes as people read them: 1.5 MiB. Counts above 2 GiB arrive as negative 32-bit numbers. */
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

/** The error of a download whose address the server did not give (or gave one not trusted). */
export const kNoAddress = 0x80070057;

/** The next state after a download event. */
export function nextDownloadState(event: Tvn.DownloadEvent, path: string): DownloadState {
    if (!event.complete)
        return { phase: "running", current: event.current, total: event.total };
    if (event.error === 0)
        return { phase: "done", path };
    return event.error >>> 0 === kNoAddress ? { phase: "noAddress" } : { phase: "failed", code: event.error >>> 0 };
}

export function downloadFraction(state: DownloadState): number {
    if (state.phase === "done")
        return 1;
    if (state.phase !== "running" || state.total <= 0)
        return 0;
    return Math.min(state.current / state.total, 1);
}

export function downloadText(state: DownloadState): string {
    switch (state.phase) {
    case "idle":
        return "";
    case "running":
        return state.total > 0 ? format("downloadProgress", { current: byteText(state.current), total: byteText(state.total) }) : format("downloadWaiting");
    case "done":
        return format("downloadDone", { path: state.path });
    case "failed":
        return format("downloadFailed", { code: "0x" + state.code.toString(16).padStart(8, "0") });
    case "noAddress":
        return format("downloadNoAddress");
    case "cancelled":
        return format("downloadCancelled");
    }
}

export function createDownloadsPanel(engine: Tvn.BizRepairModule, downloads: CatalogDownload[]): HTMLElement {
    const rows = downloads.map((download) => {
        let thread: Tvn.DownloadThread | null = null;
        const bar = el("progress", { max: 100, value: 0, "aria-label": download.name });
        const text = el("span", { class: "download-text" });
        const start = el("button", { onclick: () => begin() }, format("download"));
        const cancel = el("button", { disabled: true, onclick: () => {
            thread?.cancel(); // no event follows a cancel, not even the last one
            show({ phase: "cancelled" });
        } }, format("cancel"));
        const show = (state: DownloadState) => {
            bar.value = Math.round(downloadFraction(state) * 100);
            text.textContent = downloadText(state);
            const running = state.phase === "running";
            start.disabled = running;
            cancel.disabled = !running;
            if (!running)
                thread = null;
        };
        const begin = () => {
            let path = "";
            show({ phase: "running", current: 0, total: 0 });
            try {
                const started = engine.downloadFile({ fileName: download.fileName, fileType: download.fileType,
                    progress: (event) => show(nextDownloadState(event, path)) });
                thread = started.downloadThread;
                path = started.downloadPath;
            } catch {
                show({ phase: "noAddress" }); // a name the engine refuses: no address can be asked for it
            }
        };
        return el("li", { class: "download", "data-file": download.fileName },
            el("span", { class: "name" }, download.name), bar, text, start, cancel);
    });
    return el("section", { class: "downloads" }, el("p", {}, format("downloadsIntro")), el("ul", {}, ...rows));
}
