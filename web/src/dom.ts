// A small helper for building elements: el("button", { class: "x", onclick }, "text").
//
// Props are typed by the element: its own writable properties (value, disabled, max, ...), its
// event handlers as "on" + the event's name (the handler gets that event's type), and attributes:
// class, role, for, aria-* and data-*.

type Child = Node | string | null | undefined | false;

type Handlers = { [Name in keyof HTMLElementEventMap as `on${Name}`]?: (event: HTMLElementEventMap[Name]) => void };

// The element's own properties that hold plain values (no handlers, no methods, nothing read-only
// that an assignment would fail on).
type Plain<Element> = {
    [Name in keyof Element as Name extends `on${string}` ? never : Element[Name] extends (...args: never[]) => unknown ? never
        : Element[Name] extends string | number | boolean | null ? Name : never]?: Element[Name] | null;
};

type Attributes = {
    class?: string;
    role?: string;
    for?: string;
    [aria: `aria-${string}`]: string | number | boolean | null | undefined;
    [data: `data-${string}`]: string | number | null | undefined;
};

export type Props<K extends keyof HTMLElementTagNameMap> = Plain<HTMLElementTagNameMap[K]> & Handlers & Attributes;

export function el<K extends keyof HTMLElementTagNameMap>(tag: K, props: Props<K> = {}, ...children: Child[]): HTMLElementTagNameMap[K] {
    const element = document.createElement(tag);
    for (const [name, value] of Object.entries(props) as [string, unknown][]) {
        if (value === undefined || value === null || value === false)
            continue;
        if (name.startsWith("on") && typeof value === "function")
            element.addEventListener(name.slice(2), value as EventListener);
        else if (name === "class")
            element.className = String(value);
        else if (name in element && name !== "list" && name !== "role")
            (element as unknown as Record<string, unknown>)[name] = value;
        else
            element.setAttribute(name, value === true ? "" : String(value));
    }
    append(element, ...children);
    return element;
}

export function append(parent: Node, ...children: Child[]): void {
    for (const child of children) {
        if (child === null || child === undefined || child === false)
            continue;
        parent.appendChild(typeof child === "string" ? document.createTextNode(child) : child);
    }
}

export function clear(element: Element): void {
    while (element.firstChild)
        element.removeChild(element.firstChild);
}
